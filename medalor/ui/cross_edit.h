// TCrossEdit: a one-line edit that accepts only the characters of one kind of value, shows
// invalid contents in an error colour, reformats its text when left, steps its value with
// Page Up / Page Down and moves the focus on Enter and the Up / Down arrows.
#pragma once

#include <QColor>
#include <QLineEdit>
#include <QString>

namespace medalor {

enum class TEditType { etBinary, etFloat, etHex, etInteger, etString };
enum class TStringCharSet { scFull, scAlpha, scDigit, scTime, scDate };

class TCrossEdit : public QLineEdit {
  Q_OBJECT

 public:
  explicit TCrossEdit(QWidget* parent = nullptr);

  TEditType EditType() const { return edit_type_; }
  // Rebuilds the allowed characters; text that is no value of the new kind (foreign characters,
  // a misplaced minus, empty) becomes "0" (except for etString), then Validate runs.
  void SetEditType(TEditType type);
  TStringCharSet StringCharSet() const { return char_set_; }
  void SetStringCharSet(TStringCharSet char_set);

  int Precision = 15;
  int Decimals = 2;
  double Min = 0;
  double Max = 2147483647.0;
  bool LimitCheck = false;
  int NextPriorStep = 1;
  bool NextDialogOnEnter = true;
  bool DialogOnCursorKeys = true;
  bool AutoFocus = true;
  bool SelectAllOnFocus = true;
  Qt::Alignment FocusAlignment = Qt::AlignLeft;
  Qt::Alignment NoFocusAlignment = Qt::AlignRight;
  int FocusWidthInc = 0;
  QColor FocusColor = Qt::white;
  QColor NoFocusColor = QColor(0xC0, 0xC0, 0xC0);
  QColor ErrorColor = Qt::red;

  // The value as an integer. Out-of-range decimal text saturates at the int limits instead of
  // overflowing.
  int AsInteger() const;
  double AsFloat() const;
  void SetValue(int value);
  // Error flag from IsInvalid, then the text in its normal form, then a repaint.
  void Validate();
  // Applies the configured properties: runs Validate once and takes NoFocusAlignment. Call it
  // after setting the properties; until then changes of text do not validate.
  void Loaded();

  bool HasError() const { return error_; }
  bool IsTyping() const { return typing_; }
  bool IsLoaded() const { return loaded_; }
  bool IsAllowed(QChar c) const;
  // The background colour in effect now.
  QColor CurrentColour() const;

 signals:
  // Every change of text, before the control validates it.
  void Changed();
  void InvalidValue();
  void LimitMin();
  void LimitMax();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void enterEvent(QEnterEvent* event) override;

 private:
  bool HasBadCharacters();
  bool IsInvalid();
  void OnTextChanged();
  void UpdateColour();
  void MoveFocus(bool next);
  // The decimal separator of the user's locale, as typed, read and written in float mode.
  QChar DecimalSeparator() const;

  TEditType edit_type_ = TEditType::etInteger;
  TStringCharSet char_set_ = TStringCharSet::scFull;
  bool error_ = false;
  bool loaded_ = false;
  bool typing_ = false;
};

}  // namespace medalor
