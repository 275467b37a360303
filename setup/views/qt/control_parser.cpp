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

#include "platform/text_encoding.h"
#include "setup/controls/colour.h"
#include "setup/controls/grad_gauge.h"
#include "setup/controls/shell_tree_view.h"
#include "setup/core/setup_error.h"
#include "setup/core/setup_state.h"
#include "setup/core/text_services.h"
#include "setup/text/languages.h"
#include "setup/views/qt/picture_box.h"
#include "setup/views/qt/picture_loader.h"
#include "setup/views/qt/rich_text.h"

namespace setup_wizard {

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

}  // namespace

TControlParser::TControlParser(QWidget* host) : host_(host) {}

void TControlParser::LoadLayout(const std::string& entry_name) {
  BuildPage(setup_session::ReadLayout(entry_name));
}

void TControlParser::BuildPage(const std::vector<LayoutRecord>& records) {
  for (const LayoutRecord& record : records) BuildControl(record);
}

void TControlParser::BuildControl(const TStringList& section) {
  if (std::optional<LayoutRecord> record = setup_session::ReadLayoutRecord(section)) {
    BuildControl(*record);
  }
}

void TControlParser::BuildControl(const LayoutRecord& record) {
  const std::string& name = record.name;
  const ControlKind kind = record.kind;
  QWidget* control = nullptr;
  switch (kind) {
    case ControlKind::kLabel: {
      auto* label = new QLabel(host_);
      label->setTextFormat(Qt::PlainText);
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      label->setAutoFillBackground(true);
      label->setProperty(kAutoSizeProperty, true);
      control = label;
      break;
    }
    case ControlKind::kEdit:
      control = new QLineEdit(host_);
      break;
    case ControlKind::kShellTreeView: {
      auto* tree = new setup_controls::TSE_ShellTreeView(host_);
      tree->AttachItemDrawing();
      control = tree;
      break;
    }
    case ControlKind::kButton:
      control = new QPushButton(host_);
      break;
    case ControlKind::kImage:
      control = new TPictureBox(host_);
      break;
    case ControlKind::kPanel: {
      auto* panel = new QLabel(host_);
      panel->setTextFormat(Qt::PlainText);
      panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
      panel->setAlignment(Qt::AlignCenter);
      panel->setAutoFillBackground(true);
      panel->resize(185, 41);
      control = panel;
      break;
    }
    case ControlKind::kBevel: {
      auto* bevel = new QFrame(host_);
      bevel->setFrameStyle(QFrame::Box | QFrame::Sunken);
      bevel->resize(50, 50);
      control = bevel;
      break;
    }
    case ControlKind::kMemo: {
      control = new QPlainTextEdit(host_);
      control->resize(185, 89);
      break;
    }
    case ControlKind::kRichEdit: {
      auto* rich = new QTextEdit(host_);
      rich->setReadOnly(true);
      rich->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
      rich->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
      rich->resize(185, 89);
      control = rich;
      break;
    }
    case ControlKind::kGauge:
      control = new setup_controls::TGradGauge(host_);
      break;
    case ControlKind::kRadio:
      control = new QRadioButton(host_);
      break;
  }

  // Names are component names, unique over every page because all pages share the host.
  if (!name.empty()) {
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

  for (const LayoutProperty& property : record.properties) ApplyProperty(property, index);
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

void TControlParser::ApplyFontKey(QWidget* control, const LayoutProperty& property) {
  const std::string& key = property.key;
  const std::string& value = property.value;
  if (key == "fontface") {
    QFont font = control->font();
    font.setFamily(QString::fromStdU16String(Wide(value)));
    control->setFont(font);
  } else if (key == "fontsize") {
    QFont font = control->font();
    int size = property.number.value_or(0);
    if (size > 0) font.setPointSize(size);
    control->setFont(font);
  } else if (key == "fontcolour") {
    QColor colour =
        setup_controls::ColourFromBgr(static_cast<uint32_t>(property.number.value_or(0)));
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

void TControlParser::ApplyProperty(const LayoutProperty& property, size_t index) {
  const std::string& key = property.key;
  const std::string& value = property.value;
  // The reader has checked every number the control's kind reads.
  const int32_t number = property.number.value_or(0);
  QWidget* control = Controls[index];
  if (key == "left") {
    control->move(number, control->y());
    return;
  }
  if (key == "top") {
    control->move(control->x(), number);
    return;
  }
  if (key == "width") {
    control->resize(number, control->height());
    return;
  }
  if (key == "height") {
    control->resize(control->width(), number);
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
    palette.setColor(role, setup_controls::ColourFromBgr(static_cast<uint32_t>(number)));
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
        ApplyFontKey(control, property);
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
        ApplyFontKey(control, property);
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
        ApplyFontKey(control, property);
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
        ApplyFontKey(control, property);
      }
      break;
    }
    case ControlKind::kMemo: {
      auto* memo = static_cast<QPlainTextEdit*>(control);
      if (key == "text") {
        memo->setPlainText(ShownText(ReplaceBreaks(Wide(value))));
      } else if (font_key) {
        ApplyFontKey(control, property);
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
        ApplyFontKey(control, property);
      } else if (key == "border") {
        set_border(rich);
      } else if (key == "colour") {
        set_colour(QPalette::Base);
      } else if (key == "file" && property.data) {
        FillRichEdit(rich, *property.data);
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
        ApplyFontKey(control, property);
        tree->SetCustomFontCol(static_cast<uint32_t>(number));
      } else if (key == "fontselcolour") {
        tree->SetCustomSelFontCol(static_cast<uint32_t>(number));
      } else if (key == "selcolour") {
        tree->SetCustomSelCol(static_cast<uint32_t>(number));
      }
      break;
    }
    case ControlKind::kGauge: {
      auto* gauge = static_cast<setup_controls::TGradGauge*>(control);
      if (key == "forecolour") {
        gauge->SetColor1(static_cast<uint32_t>(number));
        gauge->SetColor2(gauge->Color1());
      } else if (key == "backcolour") {
        gauge->SetBackcolor(static_cast<uint32_t>(number));
      }
      break;
    }
    case ControlKind::kImage: {
      auto* image = static_cast<TPictureBox*>(control);
      if (key == "file") {
        LoadPicture(index, property);
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

void TControlParser::LoadPicture(size_t index, const LayoutProperty& property) {
  if (!property.data) return;  // a missing picture shows nothing and says nothing
  QImage picture = LoadPictureBytes(*property.data, property.value);
  if (picture.isNull()) return;
  auto* box = static_cast<TPictureBox*>(Controls[index]);
  box->SetPicture(picture);
  // A metafile is drawn again at the box's size when stretched, rather than scaled as pixels.
  if (IsMetafileName(property.value)) box->SetMetafile(*property.data);
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
