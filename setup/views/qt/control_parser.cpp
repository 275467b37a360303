#include "setup/views/qt/control_parser.h"

#include <QFrame>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextEdit>
#include <cctype>

#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/text_encoding.h"
#include "setup/controls/colour.h"
#include "setup/controls/grad_gauge.h"
#include "setup/controls/shell_tree_view.h"
#include "setup/core/pak.h"
#include "setup/core/setup_error.h"
#include "setup/core/setup_state.h"
#include "setup/core/text_services.h"
#include "setup/text/languages.h"
#include "setup/text/sectioned_text.h"
#include "setup/views/qt/picture_box.h"
#include "setup/views/qt/picture_loader.h"
#include "setup/views/qt/rich_text.h"
#include "setup/session/temp_files.h"

namespace setup_wizard {

using setup_session::TempFilePath;
using setup_session::WriteFreshFile;

namespace {

constexpr const char* kAutoSizeProperty = "setupAutoSize";

QString ToQString(const std::u16string& text) { return QString::fromStdU16String(text); }

// Display texts use CR for a line break; Qt wants LF.
QString ShownText(const std::u16string& text) {
  QString shown = ToQString(text);
  shown.replace("\r\n", "\n");
  shown.replace('\r', '\n');
  return shown;
}

std::u16string Wide(const std::string& text) { return platform::Cp1252ToUtf16(text); }

// <BR> in any letter case becomes a line break; nothing else is expanded (memo text).
std::u16string ReplaceBreaks(const std::u16string& text) {
  return ReplaceAll(text, u"<BR>", u"\r");
}

TPak* Package() { return SetupState::Instance().package.get(); }

}  // namespace

int32_t ParseLayoutInteger(const std::string& value) {
  std::string text = value;
  bool hex = false;
  size_t pos = 0;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) {
    negative = text[pos] == '-';
    ++pos;
  }
  if (pos < text.size() && text[pos] == '$') {
    hex = true;
    ++pos;
  } else if (pos + 1 < text.size() && text[pos] == '0' &&
             (text[pos + 1] == 'x' || text[pos + 1] == 'X')) {
    hex = true;
    pos += 2;
  }
  if (pos >= text.size()) throw SetupError("'" + value + "' is not a valid integer value");
  int64_t result = 0;
  for (; pos < text.size(); ++pos) {
    int digit;
    unsigned char c = static_cast<unsigned char>(text[pos]);
    if (std::isdigit(c)) {
      digit = c - '0';
    } else if (hex && std::isxdigit(c)) {
      digit = std::tolower(c) - 'a' + 10;
    } else {
      throw SetupError("'" + value + "' is not a valid integer value");
    }
    result = result * (hex ? 16 : 10) + digit;
    // Hexadecimal values may use all 32 bits (colours); decimal ones must fit a signed int.
    if (result > (hex ? int64_t{0xFFFFFFFF} : int64_t{0x7FFFFFFF} + (negative ? 1 : 0))) {
      throw SetupError("'" + value + "' is not a valid integer value");
    }
  }
  if (negative) result = -result;
  return static_cast<int32_t>(static_cast<uint32_t>(result));
}

bool ParseLayoutFlag(const std::string& value) { return AsciiLower(value) == "true"; }

bool IsValidComponentName(const std::string& name) {
  if (name.empty()) return false;
  auto c0 = static_cast<unsigned char>(name[0]);
  if (!(std::isalpha(c0) || c0 == '_') || c0 >= 0x80) return false;
  for (char ch : name) {
    auto c = static_cast<unsigned char>(ch);
    if (c >= 0x80 || !(std::isalnum(c) || c == '_')) return false;
  }
  return true;
}

TControlParser::TControlParser(QWidget* host) : host_(host) {}

void TControlParser::LoadLayout(const std::string& entry_name) {
  TPak* pak = Package();
  if (!pak) {
    platform::MessageBox("Error File Missing: |" + entry_name + "|", "Missing File",
                         platform::kMbOk);
    return;
  }
  ReadSectionedEntry(*pak, entry_name, MissingEntryMessage::kLayout,
                     [this](const TStringList& section) { BuildControl(section); });
}

void TControlParser::BuildControl(const TStringList& section) {
  const std::string& header = section.Get(0);
  std::string name = header.size() >= 2 ? header.substr(1, header.size() - 2) : std::string();
  const std::string& type_line = section.Get(1);
  size_t eq = type_line.find('=');
  std::string type = AsciiLower(eq == std::string::npos ? std::string() : type_line.substr(eq + 1));

  QWidget* control = nullptr;
  ControlKind kind;
  if (type == "tlabel") {
    auto* label = new QLabel(host_);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setAutoFillBackground(true);
    label->setProperty(kAutoSizeProperty, true);
    control = label;
    kind = ControlKind::kLabel;
  } else if (type == "tedit") {
    control = new QLineEdit(host_);
    kind = ControlKind::kEdit;
  } else if (type == "tshelltreeview") {
    auto* tree = new setup_controls::TSE_ShellTreeView(host_);
    tree->AttachItemDrawing();
    control = tree;
    kind = ControlKind::kShellTreeView;
  } else if (type == "tbutton") {
    control = new QPushButton(host_);
    kind = ControlKind::kButton;
  } else if (type == "timage") {
    control = new TPictureBox(host_);
    kind = ControlKind::kImage;
  } else if (type == "tpanel") {
    auto* panel = new QLabel(host_);
    panel->setTextFormat(Qt::PlainText);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setAlignment(Qt::AlignCenter);
    panel->setAutoFillBackground(true);
    panel->resize(185, 41);
    control = panel;
    kind = ControlKind::kPanel;
  } else if (type == "tbevel") {
    auto* bevel = new QFrame(host_);
    bevel->setFrameStyle(QFrame::Box | QFrame::Sunken);
    bevel->resize(50, 50);
    control = bevel;
    kind = ControlKind::kBevel;
  } else if (type == "tmemo") {
    control = new QPlainTextEdit(host_);
    control->resize(185, 89);
    kind = ControlKind::kMemo;
  } else if (type == "trichedit") {
    auto* rich = new QTextEdit(host_);
    rich->setReadOnly(true);
    rich->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    rich->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    rich->resize(185, 89);
    control = rich;
    kind = ControlKind::kRichEdit;
  } else if (type == "tprogressbar") {
    control = new setup_controls::TGradGauge(host_);
    kind = ControlKind::kGauge;
  } else if (type == "tradio") {
    control = new QRadioButton(host_);
    kind = ControlKind::kRadio;
  } else {
    return;  // an unknown type word creates nothing
  }

  // Names are component names, unique over every page because all pages share the host.
  if (!name.empty()) {
    if (!IsValidComponentName(name)) {
      delete control;
      throw SetupError("'" + name + "' is not a valid component name");
    }
    const QString qname = QString::fromStdString(name);
    for (QObject* other : host_->children()) {
      if (other != control && other->objectName().compare(qname, Qt::CaseInsensitive) == 0) {
        delete control;
        throw SetupError("A component named " + name + " already exists");
      }
    }
  }
  control->setObjectName(QString::fromStdString(name));
  // A caption that is never set shows the section name.
  if (kind == ControlKind::kLabel || kind == ControlKind::kPanel) {
    static_cast<QLabel*>(control)->setText(QString::fromStdString(name));
  } else if (kind == ControlKind::kButton) {
    static_cast<QPushButton*>(control)->setText(QString::fromStdString(name));
  } else if (kind == ControlKind::kRadio) {
    static_cast<QRadioButton*>(control)->setText(QString::fromStdString(name));
  }
  Controls.push_back(control);
  Kinds.push_back(kind);
  SourceTexts.emplace_back();
  const size_t index = Controls.size() - 1;
  FitLabel(index);

  for (int i = 2; i < section.count(); ++i) {
    const std::string& line = section.Get(i);
    NameValue pair = SplitNameValue(line);
    ApplyProperty(AsciiLower(pair.name), pair.value, index);
  }
}

void TControlParser::SetCaption(size_t index, const std::u16string& raw) {
  QWidget* control = Controls[index];
  std::u16string shown = DisplayText(raw);
  switch (Kinds[index]) {
    case ControlKind::kLabel:
      static_cast<QLabel*>(control)->setText(ShownText(shown));
      FitLabel(index);
      break;
    case ControlKind::kRadio:
      static_cast<QRadioButton*>(control)->setText(ShownText(shown));
      break;
    case ControlKind::kPanel:
      // A panel's caption is 8-bit text.
      static_cast<QLabel*>(control)->setText(
          ShownText(platform::Cp1252ToUtf16(platform::Utf16ToCp1252(shown))));
      break;
    default:
      break;
  }
}

void TControlParser::FitLabel(size_t index) {
  if (Kinds[index] != ControlKind::kLabel) return;
  auto* label = static_cast<QLabel*>(Controls[index]);
  if (!label->property(kAutoSizeProperty).toBool()) return;
  if (label->wordWrap()) {
    label->resize(label->width(), label->heightForWidth(label->width()));
  } else {
    label->resize(label->sizeHint());
  }
}

void TControlParser::ApplyFontKey(QWidget* control, const std::string& key,
                                  const std::string& value) {
  if (key == "fontface") {
    QFont font = control->font();
    font.setFamily(QString::fromStdU16String(Wide(value)));
    control->setFont(font);
  } else if (key == "fontsize") {
    QFont font = control->font();
    int size = ParseLayoutInteger(value);
    if (size > 0) font.setPointSize(size);
    control->setFont(font);
  } else if (key == "fontcolour") {
    QColor colour = setup_controls::ColourFromBgr(static_cast<uint32_t>(ParseLayoutInteger(value)));
    QPalette palette = control->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Text, colour);
    palette.setColor(QPalette::ButtonText, colour);
    control->setPalette(palette);
  } else if (key == "fontbold") {
    QFont font = control->font();
    font.setBold(ParseLayoutFlag(value));
    control->setFont(font);
  }
}

void TControlParser::ApplyProperty(const std::string& key, const std::string& value, size_t index) {
  QWidget* control = Controls[index];
  if (key == "left") {
    control->move(ParseLayoutInteger(value), control->y());
    return;
  }
  if (key == "top") {
    control->move(control->x(), ParseLayoutInteger(value));
    return;
  }
  if (key == "width") {
    control->resize(ParseLayoutInteger(value), control->height());
    return;
  }
  if (key == "height") {
    control->resize(control->width(), ParseLayoutInteger(value));
    return;
  }
  if (key == "enabled") {
    control->setEnabled(ParseLayoutFlag(value));
    return;
  }
  const bool font_key =
      key == "fontface" || key == "fontsize" || key == "fontcolour" || key == "fontbold";
  auto set_colour = [&](QPalette::ColorRole role) {
    QPalette palette = control->palette();
    palette.setColor(
        role, setup_controls::ColourFromBgr(static_cast<uint32_t>(ParseLayoutInteger(value))));
    control->setPalette(palette);
  };
  auto set_border = [&](QFrame* frame) {
    frame->setFrameStyle(ParseLayoutFlag(value) ? (QFrame::StyledPanel | QFrame::Sunken)
                                                : QFrame::NoFrame);
  };

  switch (Kinds[index]) {
    case ControlKind::kLabel: {
      auto* label = static_cast<QLabel*>(control);
      if (key == "caption") {
        SourceTexts[index] = Wide(value);
        SetCaption(index, SourceTexts[index]);
      } else if (font_key) {
        ApplyFontKey(control, key, value);
        FitLabel(index);
      } else if (key == "autosize") {
        label->setProperty(kAutoSizeProperty, ParseLayoutFlag(value));
        FitLabel(index);
      } else if (key == "wordwrap") {
        label->setWordWrap(ParseLayoutFlag(value));
        FitLabel(index);
      } else if (key == "transparent") {
        label->setAutoFillBackground(!ParseLayoutFlag(value));
      }
      break;
    }
    case ControlKind::kRadio: {
      if (key == "caption") {
        SourceTexts[index] = Wide(value);
        SetCaption(index, SourceTexts[index]);
      } else if (font_key) {
        ApplyFontKey(control, key, value);
      } else if (key == "checked") {
        static_cast<QRadioButton*>(control)->setChecked(ParseLayoutFlag(value));
      }
      break;
    }
    case ControlKind::kEdit: {
      auto* edit = static_cast<QLineEdit*>(control);
      if (key == "text") {
        SourceTexts[index] = Wide(value);
        edit->setText(ShownText(DisplayText(SourceTexts[index])));
      } else if (font_key) {
        ApplyFontKey(control, key, value);
      } else if (key == "colour") {
        set_colour(QPalette::Base);
      } else if (key == "autosize") {
        if (ParseLayoutFlag(value)) edit->resize(edit->width(), edit->sizeHint().height());
      } else if (key == "border") {
        edit->setFrame(ParseLayoutFlag(value));
      }
      break;
    }
    case ControlKind::kPanel: {
      if (key == "caption") {
        SourceTexts[index] = Wide(value);
        SetCaption(index, SourceTexts[index]);
      } else if (font_key) {
        ApplyFontKey(control, key, value);
      }
      break;
    }
    case ControlKind::kMemo: {
      auto* memo = static_cast<QPlainTextEdit*>(control);
      if (key == "text") {
        memo->setPlainText(ShownText(ReplaceBreaks(Wide(value))));
      } else if (font_key) {
        ApplyFontKey(control, key, value);
      } else if (key == "border") {
        set_border(memo);
      }
      break;
    }
    case ControlKind::kRichEdit: {
      auto* rich = static_cast<QTextEdit*>(control);
      if (key == "text") {
        rich->setPlainText(ShownText(ReplaceBreaks(Wide(value))));
      } else if (font_key) {
        ApplyFontKey(control, key, value);
      } else if (key == "border") {
        set_border(rich);
      } else if (key == "colour") {
        set_colour(QPalette::Base);
      } else if (key == "file") {
        LoadRichText(index, value);
      }
      break;
    }
    case ControlKind::kShellTreeView: {
      auto* tree = static_cast<setup_controls::TSE_ShellTreeView*>(control);
      if (key == "colour") {
        set_colour(QPalette::Base);
      } else if (key == "border") {
        set_border(tree);
      } else if (key == "fontcolour") {
        ApplyFontKey(control, key, value);
        tree->SetCustomFontCol(static_cast<uint32_t>(ParseLayoutInteger(value)));
      } else if (key == "fontselcolour") {
        tree->SetCustomSelFontCol(static_cast<uint32_t>(ParseLayoutInteger(value)));
      } else if (key == "selcolour") {
        tree->SetCustomSelCol(static_cast<uint32_t>(ParseLayoutInteger(value)));
      }
      break;
    }
    case ControlKind::kGauge: {
      auto* gauge = static_cast<setup_controls::TGradGauge*>(control);
      if (key == "forecolour") {
        gauge->SetColor1(static_cast<uint32_t>(ParseLayoutInteger(value)));
        gauge->SetColor2(gauge->Color1());
      } else if (key == "backcolour") {
        gauge->SetBackcolor(static_cast<uint32_t>(ParseLayoutInteger(value)));
      }
      break;
    }
    case ControlKind::kImage: {
      auto* image = static_cast<TPictureBox*>(control);
      if (key == "file") {
        LoadPicture(index, value);
      } else if (key == "stretch") {
        image->SetStretch(ParseLayoutFlag(value));
      } else if (key == "tile") {
        if (ParseLayoutFlag(value) && image->HasPicture()) image->Tile();
      } else if (key == "center") {
        image->SetCenter(ParseLayoutFlag(value));
      } else if (key == "transparent") {
        image->SetTransparent(ParseLayoutFlag(value));
      }
      break;
    }
    case ControlKind::kButton:
    case ControlKind::kBevel:
      break;
  }
}

void TControlParser::LoadPicture(size_t index, const std::string& value) {
  TPak* pak = Package();
  if (!pak) return;
  std::optional<std::string> data = pak->FindEntry(value, 0);
  if (!data) return;  // a missing picture shows nothing and says nothing
  const std::string path = TempFilePath(value);
  if (!WriteFreshFile(path, data->data(), data->size())) return;
  std::optional<std::string> written = platform::ReadFileBytes(path);
  platform::DeleteFile(path);
  if (!written) return;
  QImage picture = LoadPictureBytes(*written, value);
  if (picture.isNull()) return;
  auto* box = static_cast<TPictureBox*>(Controls[index]);
  box->SetPicture(picture);
  // A metafile is drawn again at the box's size when stretched, rather than scaled as pixels.
  if (IsMetafileName(value)) box->SetMetafile(*written);
}

void TControlParser::LoadRichText(size_t index, const std::string& value) {
  const std::string name =
      platform::Utf16ToCp1252(LanguageStrings().ApplyPlaceholders(Wide(value)));
  TPak* pak = Package();
  std::optional<std::string> data = pak ? pak->FindEntry(name, 0) : std::nullopt;
  if (!data) {
    platform::MessageBox("Error: File \"" + name + "\" Missing", "Rich Edit Error",
                         platform::kMbOk);
    return;
  }
  const std::string path = TempFilePath("RETL.temp");
  if (!WriteFreshFile(path, data->data(), data->size())) return;
  std::optional<std::string> written = platform::ReadFileBytes(path);
  platform::DeleteFile(path);
  if (!written) return;
  FillRichEdit(static_cast<QTextEdit*>(Controls[index]), *written);
}

void TControlParser::HideAll() {
  for (QWidget* control : Controls) control->hide();
}

void TControlParser::ShowAll() {
  for (QWidget* control : Controls) control->show();
}

void TControlParser::SendAllToBack() {
  for (auto it = Controls.rbegin(); it != Controls.rend(); ++it) (*it)->lower();
}

void TControlParser::Retranslate() {
  for (size_t i = 0; i < Controls.size(); ++i) {
    ControlKind kind = Kinds[i];
    if (kind == ControlKind::kLabel || kind == ControlKind::kRadio || kind == ControlKind::kPanel) {
      SetCaption(i, SourceTexts[i]);
    }
  }
}

}  // namespace setup_wizard
