#include "setup/views/terminal/page_items.h"

#include <algorithm>
#include <optional>

#include "platform/text_encoding.h"
#include "setup/session/rtf_reader.h"
#include "setup/text/languages.h"
#include "setup/views/terminal/folder_text.h"
#include "setup/views/terminal/text_layout.h"

namespace setup_terminal {

namespace {

using setup_session::ControlKind;
using setup_session::ControlRef;
using setup_session::LayoutRecord;
using setup_session::PageKind;

std::optional<int32_t> NumberKey(const LayoutRecord& record, const char* key) {
  std::optional<int32_t> value;
  for (const auto& property : record.properties) {
    if (property.key == key && property.number) value = property.number;
  }
  return value;
}

bool FlagKey(const LayoutRecord& record, const char* key) {
  bool value = false;
  for (const auto& property : record.properties) {
    if (property.key == key) value = setup_session::ParseLayoutFlag(property.value);
  }
  return value;
}

bool Same(const std::optional<ControlRef>& named, const ControlRef& ref) {
  return named && named->page == ref.page && named->index == ref.index;
}

// "a<br>b" as two lines, in any letter case.
std::u16string WithBreaks(const std::u16string& text) {
  std::u16string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'<' && i + 3 < text.size() && (text[i + 1] | 0x20) == u'b' &&
        (text[i + 2] | 0x20) == u'r' && text[i + 3] == u'>') {
      out += u'\r';
      i += 3;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace

std::u32string ScrollTextOf(const LayoutRecord& record) {
  std::u32string text;
  for (const auto& property : record.properties) {
    if (property.key == "text") {
      text = FromUtf16(WithBreaks(platform::Cp1252ToUtf16(property.value)));
    } else if (property.key == "file" && record.kind == ControlKind::kRichEdit && property.data) {
      if (std::optional<setup_session::RtfDocument> document =
              setup_session::ParseRtf(*property.data)) {
        text = FromUtf16(document->PlainText());
      } else {
        text = FromUtf16(platform::Cp1252ToUtf16(*property.data));
      }
    }
  }
  return text;
}

const std::u32string& PageItemBuilder::ScrollText(const LayoutRecord& record, int page, int index) {
  auto [it, added] = scroll_texts_.try_emplace({page, index});
  if (added) it->second = ScrollTextOf(record);
  return it->second;
}

std::vector<PageItem> PageItemBuilder::Build(const setup_session::WizardSession& session,
                                             const ViewTexts& texts) {
  const std::vector<setup_session::WizardPage>& pages = session.Pages();
  const setup_session::NamedControls& named = session.Named();
  const int current = session.CurrentPage();
  struct Placed {
    int top, left;
    PageItem item;
  };
  std::vector<Placed> placed;
  for (int p = 0; p < static_cast<int>(pages.size()); ++p) {
    if (p != current && pages[p].kind != PageKind::MainLayout) continue;
    const std::vector<LayoutRecord>& controls = pages[p].controls;
    for (int i = 0; i < static_cast<int>(controls.size()); ++i) {
      const LayoutRecord& record = controls[i];
      const ControlRef ref{p, i};
      PageItem item;
      item.ref = ref;
      const auto caption = texts.captions.find({p, i});
      switch (record.kind) {
        case ControlKind::kLabel:
        case ControlKind::kPanel:
        case ControlKind::kEdit:
          if (Same(named.folder_edit, ref)) {
            item.kind = ItemKind::kField;
            item.text = texts.folder_field;
            break;
          }
          item.text =
              FromUtf16(caption != texts.captions.end() ? caption->second
                                                        : setup_session::CaptionText(record));
          if (Same(named.status_line, ref) || Same(named.second_status_line, ref)) {
            const auto& runner_text =
                Same(named.status_line, ref) ? texts.progress.status : texts.progress.second_status;
            if (runner_text) item.text = FromUtf16(*runner_text);
            if (Same(named.status_line, ref)) item.kind = ItemKind::kStatus;
          }
          item.bold = FlagKey(record, "fontbold");
          break;
        case ControlKind::kRadio:
          item.kind = ItemKind::kRadio;
          item.text = FromUtf16(setup_session::CaptionText(record));
          item.checked = session.IsChecked(ref);
          break;
        case ControlKind::kGauge:
          item.kind = ItemKind::kGauge;
          if (Same(named.gauge, ref)) {
            item.position = texts.progress.position;
            item.maximum = texts.progress.maximum;
          }
          break;
        case ControlKind::kMemo:
        case ControlKind::kRichEdit:
          item.kind = ItemKind::kScrollText;
          item.text = ScrollText(record, p, i);
          break;
        default:
          continue;  // pictures, bevels, push buttons and the folder tree show nothing here
      }
      if ((item.kind == ItemKind::kText || item.kind == ItemKind::kScrollText) &&
          item.text.empty()) {
        continue;
      }
      placed.push_back({NumberKey(record, "top").value_or(0), NumberKey(record, "left").value_or(0),
                        std::move(item)});
      if (placed.back().item.kind == ItemKind::kField) {
        // Under the field: the folder's other name (the host folder of a Windows path, the
        // Windows path of a host one), or why it cannot be used, and the free space (text 7).
        PageItem note;
        note.kind = ItemKind::kNote;
        note.ref = ref;
        const bool typed_host = !texts.folder_field.empty() &&
                                (texts.folder_field[0] == U'/' || texts.folder_field[0] == U'~');
        const std::string other = typed_host ? platform::Cp1252ToUtf8(session.FolderText())
                                             : HostFolder(session.FolderText());
        if (!session.FolderProblemText().empty()) {
          // Why the folder cannot be used stands where its other name would.
          note.text = FromUtf8(platform::Cp1252ToUtf8(session.FolderProblemText()));
        } else if (!other.empty()) {
          note.text = U"= " + FromUtf8(other);
        }
        placed.push_back({placed.back().top, placed.back().left, note});
        PageItem space;
        space.ref = ref;
        space.text = FromUtf16(DisplayText(u"<LANG7>"));
        if (!space.text.empty()) placed.push_back({placed.back().top, placed.back().left, space});
      }
    }
  }
  std::stable_sort(placed.begin(), placed.end(), [](const Placed& a, const Placed& b) {
    return a.top != b.top ? a.top < b.top : a.left < b.left;
  });
  std::vector<PageItem> items;
  items.reserve(placed.size());
  for (Placed& entry : placed) items.push_back(std::move(entry.item));
  return items;
}

}  // namespace setup_terminal
