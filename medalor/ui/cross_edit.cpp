#include "medalor/ui/cross_edit.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QLocale>
#include <QPalette>
#include <QWidget>
#include <algorithm>
#include <cstdint>
#include <limits>

namespace medalor {
namespace {

constexpr int kDefaultMaxLength = 32767;  // QLineEdit's "no limit"

int Saturate(int64_t value) {
  return static_cast<int>(
      std::clamp<int64_t>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

int HexDigit(QChar c) {
  const char16_t u = c.unicode();
  if (u >= '0' && u <= '9') return u - '0';
  if (u >= 'A' && u <= 'F') return u - 'A' + 10;
  if (u >= 'a' && u <= 'f') return u - 'a' + 10;
  return -1;
}

// Floating-point text is read and written in the plain "C" form (ASCII digits, "-", "E"), with
// only the decimal separator taken from the user's locale: a locale's own digits, minus sign or
// group separators are not among the characters a float box accepts.
QChar LocaleDecimalSeparator() {
  const QString separator = QLocale().decimalPoint();
  return separator.size() == 1 ? separator[0] : QChar('.');
}

QString FixedPoint(double value, int decimals) {
  QString text = QString::number(value, 'f', decimals);
  text.replace(QChar('.'), LocaleDecimalSeparator());
  return text;
}

}  // namespace

QChar TCrossEdit::DecimalSeparator() const { return LocaleDecimalSeparator(); }

TCrossEdit::TCrossEdit(QWidget* parent) : QLineEdit(parent) {
  resize(36, 13);
  setFrame(false);
  setAlignment(NoFocusAlignment);
  connect(this, &QLineEdit::textChanged, this, &TCrossEdit::OnTextChanged);
  UpdateColour();
}

void TCrossEdit::SetEditType(TEditType type) {
  edit_type_ = type;
  // Text that is no value of the new kind (foreign characters, a misplaced minus, nothing at
  // all) starts over as "0", so the box never begins in the error state.
  if (edit_type_ != TEditType::etString && HasBadCharacters()) setText(QStringLiteral("0"));
  Validate();
}

void TCrossEdit::SetStringCharSet(TStringCharSet char_set) {
  char_set_ = char_set;
  SetEditType(edit_type_);
}

bool TCrossEdit::IsAllowed(QChar c) const {
  const char16_t u = c.unicode();
  const bool digit = u >= '0' && u <= '9';
  switch (edit_type_) {
    case TEditType::etBinary:
      return u == '0' || u == '1';
    case TEditType::etFloat:
      return digit || u == '-' || u == 'E' || c == DecimalSeparator();
    case TEditType::etHex:
      return digit || (u >= 'A' && u <= 'F');
    case TEditType::etInteger:
      return digit || u == '-';
    case TEditType::etString:
      switch (char_set_) {
        case TStringCharSet::scFull:
          return true;
        case TStringCharSet::scAlpha:
          return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z');
        case TStringCharSet::scDigit:
          return digit;
        case TStringCharSet::scTime:
          return digit || u == ':';
        case TStringCharSet::scDate:
          return digit || u == '.';
      }
  }
  return false;
}

int TCrossEdit::AsInteger() const {
  const QString t = text();
  if (t.isEmpty()) return 0;
  switch (edit_type_) {
    case TEditType::etString:
      return 0;
    case TEditType::etBinary: {
      uint32_t value = 0;
      int count = 0;
      for (QChar c : t) {
        if ((c != '0' && c != '1') || count == 32) break;
        value = (value << 1) | (c == '1' ? 1u : 0u);
        ++count;
      }
      return static_cast<int>(value);
    }
    case TEditType::etHex: {
      uint64_t value = 0;
      for (QChar c : t) {
        const int digit = HexDigit(c);
        if (digit < 0) break;
        value = value * 16 + static_cast<uint64_t>(digit);
        // More than eight hexadecimal digits of value cannot be held; saturate.
        if (value > 0xFFFFFFFFull) return std::numeric_limits<int>::max();
      }
      return static_cast<int>(static_cast<uint32_t>(value));
    }
    case TEditType::etInteger:
    case TEditType::etFloat: {
      qsizetype i = 0;
      bool negative = false;
      if (t[0] == '-' || t[0] == '+') {
        negative = t[0] == '-';
        i = 1;
      }
      int64_t value = 0;
      qsizetype digits = 0;
      for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i, ++digits) {
        // Past the int range the value only matters as "too large": keep it just beyond.
        value = std::min<int64_t>(value * 10 + (t[i].unicode() - '0'), int64_t{1} << 40);
      }
      if (digits > 0 && i == t.size()) return Saturate(negative ? -value : value);
      // Not wholly a number: the digits before the first other character, without sign.
      return Saturate(value);
    }
  }
  return 0;
}

double TCrossEdit::AsFloat() const {
  if (edit_type_ != TEditType::etFloat) return 0;
  bool ok = false;
  QString plain = text().trimmed();
  // A "." is no float character where the locale separates decimals otherwise.
  if (DecimalSeparator() != QChar('.')) {
    if (plain.contains(QChar('.'))) return 0;
    plain.replace(DecimalSeparator(), QChar('.'));
  }
  const double value = plain.toDouble(&ok);
  return ok ? value : 0;
}

void TCrossEdit::SetValue(int value) {
  const int max_length = maxLength();
  const bool length_set = max_length > 0 && max_length != kDefaultMaxLength;
  switch (edit_type_) {
    case TEditType::etBinary: {
      const int d = length_set ? std::min(max_length, 32) : 8;
      QString bits;
      for (int bit = d - 1; bit >= 0; --bit) {
        bits += ((static_cast<uint32_t>(value) >> bit) & 1u) ? '1' : '0';
      }
      setText(bits);
      break;
    }
    case TEditType::etFloat:
      setText(FixedPoint(static_cast<double>(value), Decimals));
      break;
    case TEditType::etHex: {
      const int d = length_set ? max_length : 4;
      QString hex = QString::number(static_cast<uint32_t>(value), 16).toUpper();
      if (hex.size() < d) hex = QString(d - hex.size(), QChar('0')) + hex;
      setText(hex.right(d));
      break;
    }
    case TEditType::etInteger:
      setText(QString::number(value));
      break;
    case TEditType::etString:
      break;
  }
}

bool TCrossEdit::HasBadCharacters() {
  const QString trimmed = text().trimmed();
  if (trimmed != text()) setText(trimmed);
  if (trimmed.isEmpty()) return true;
  for (QChar c : trimmed) {
    if (!IsAllowed(c)) return true;
  }
  if (edit_type_ == TEditType::etInteger || edit_type_ == TEditType::etFloat) {
    if (trimmed.lastIndexOf('-') > 0) return true;
    if (trimmed == QStringLiteral("-")) return true;
  }
  return false;
}

bool TCrossEdit::IsInvalid() {
  if (edit_type_ == TEditType::etString) return false;
  if (HasBadCharacters()) {
    emit InvalidValue();
    return true;
  }
  if (LimitCheck) {
    const double value =
        edit_type_ == TEditType::etFloat ? AsFloat() : static_cast<double>(AsInteger());
    if (value < Min) {
      emit LimitMin();
      return true;
    }
    if (value > Max) {
      emit LimitMax();
      return true;
    }
  }
  return false;
}

void TCrossEdit::Validate() {
  error_ = IsInvalid();
  switch (edit_type_) {
    case TEditType::etFloat:
      setText(FixedPoint(AsFloat(), Decimals));
      break;
    case TEditType::etString:
      break;
    default:
      SetValue(AsInteger());
      break;
  }
  UpdateColour();
  update();
}

void TCrossEdit::Loaded() {
  loaded_ = true;
  Validate();
  setAlignment(NoFocusAlignment);
}

QColor TCrossEdit::CurrentColour() const {
  if (hasFocus()) return FocusColor;
  return error_ ? ErrorColor : NoFocusColor;
}

void TCrossEdit::UpdateColour() {
  QPalette p = palette();
  const QColor colour = CurrentColour();
  if (p.color(QPalette::Base) != colour) {
    p.setColor(QPalette::Base, colour);
    setPalette(p);
  }
}

void TCrossEdit::OnTextChanged() {
  emit Changed();
  if (loaded_ && !typing_) Validate();
}

void TCrossEdit::MoveFocus(bool next) { QWidget::focusNextPrevChild(next); }

void TCrossEdit::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  // Key-down part: focus moves and value steps.
  if (DialogOnCursorKeys && (key == Qt::Key_Up || key == Qt::Key_Down)) {
    typing_ = true;
    MoveFocus(key == Qt::Key_Down);
    return;
  }
  if (edit_type_ != TEditType::etString && (key == Qt::Key_PageUp || key == Qt::Key_PageDown)) {
    const int64_t value = AsInteger();
    if (key == Qt::Key_PageUp && value < Max) SetValue(Saturate(value + NextPriorStep));
    if (key == Qt::Key_PageDown && value > Min) SetValue(Saturate(value - NextPriorStep));
    typing_ = true;
    return;
  }
  typing_ = true;

  // Character part.
  if (key == Qt::Key_Return || key == Qt::Key_Enter) {
    if (NextDialogOnEnter) {
      MoveFocus(true);
      return;
    }
    QLineEdit::keyPressEvent(event);
    return;
  }
  const QString typed = event->text();
  if (typed.size() != 1 || !typed[0].isPrint()) {
    QLineEdit::keyPressEvent(event);  // editing and navigation keys, Backspace included
    return;
  }
  QChar c = typed[0];
  if (edit_type_ != TEditType::etString) c = c.toUpper();
  const bool numeric = edit_type_ == TEditType::etInteger || edit_type_ == TEditType::etFloat;
  if (numeric && c == '-') {
    if (text().contains('-')) {
      if (!hasSelectedText()) return;
      clear();
    } else if (!hasSelectedText() && cursorPosition() != 0) {
      return;
    }
  }
  if (edit_type_ == TEditType::etFloat && c == DecimalSeparator() &&
      text().contains(DecimalSeparator())) {
    if (!hasSelectedText()) return;
    clear();
  }
  if (!IsAllowed(c)) return;
  if (c != typed[0]) {
    QKeyEvent upper(event->type(), key, event->modifiers(), QString(c), event->isAutoRepeat(),
                    static_cast<ushort>(event->count()));
    QLineEdit::keyPressEvent(&upper);
    return;
  }
  QLineEdit::keyPressEvent(event);
}

void TCrossEdit::focusInEvent(QFocusEvent* event) {
  error_ = false;
  resize(width() + FocusWidthInc, height());
  if (alignment() != FocusAlignment) setAlignment(FocusAlignment);
  QLineEdit::focusInEvent(event);
  if (SelectAllOnFocus) {
    selectAll();
  } else {
    deselect();
  }
  UpdateColour();
}

void TCrossEdit::focusOutEvent(QFocusEvent* event) {
  if (alignment() != NoFocusAlignment) setAlignment(NoFocusAlignment);
  typing_ = false;
  QLineEdit::focusOutEvent(event);
  resize(width() - FocusWidthInc, height());
  Validate();
  UpdateColour();
}

void TCrossEdit::enterEvent(QEnterEvent* event) {
  QLineEdit::enterEvent(event);
  if (AutoFocus) setFocus(Qt::MouseFocusReason);
}

}  // namespace medalor
