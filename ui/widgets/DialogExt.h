#pragma once
// The dialog base that reads and writes numbers in edit boxes with one set of checks and messages:
// each entry is read from at most 19 characters, with a decimal point whatever the user's locale.

#include <QDialog>
#include <QLineEdit>
#include <string>

#include "platform/Operator.h"

namespace quelt::ui {

inline constexpr const char* kEnterANumber = "Please enter a number.";
inline constexpr const char* kNoValueRead = "No value read";

// Every character of `text` is in `allowed` (an empty text passes).
bool onlyCharacters(const std::string& text, const char* allowed);

class CDialogExt : public QDialog {
    Q_OBJECT
  public:
    // Messages go to `op` (the desktop's message boxes, or a script in tests).
    explicit CDialogExt(Operator& op, QWidget* parent = nullptr);

    // The leading integer; a bad character shows the message and the leading integer is still returned.
    int ReadInt(const QLineEdit* edit);
    // Stores the value and returns true; a bad character shows the message, returns false, value unchanged.
    bool ReadInt(const QLineEdit* edit, int& value);
    // A real with a point ("-0123456789,."): "12,5" reads as 12.
    bool ReadReal(const QLineEdit* edit, double& value);
    // A real that may have an exponent ("-0123456789,.eE ").
    bool ReadSingleReal(const QLineEdit* edit, double& value);
    // Raises the value to `lower` and lowers it to `upper` when the bound is not negative (-1: none).
    void WriteInt(QLineEdit* edit, int value, int lower = -1, int upper = -1);
    // "-" for 0 with the dash flag, else the value with `decimals` decimals.
    void WriteReal(QLineEdit* edit, double value, int decimals, bool dash = false);

    // Half away from zero.
    static double Round(double x);

  protected:
    Operator& op_;

  private:
    // The field's text when it holds only `allowed` characters. A missing field reads as "" with "No
    // value read"; other characters show "Enter a number" (the text is still given back).
    bool readChecked(const QLineEdit* edit, const char* allowed, std::string& text);
    // The field parsed; false, value unchanged (0 for a missing field) when it cannot be read.
    template <class T, class Parse>
    bool readNumber(const QLineEdit* edit, const char* allowed, T& value, Parse parse);
};

}  // namespace quelt::ui
