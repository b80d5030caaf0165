#include "ui/widgets/DialogExt.h"

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/Text.h"

namespace quelt::ui {

namespace {
constexpr const char* kIntegerChars = "-0123456789";
constexpr const char* kRealChars = "-0123456789,.";
constexpr const char* kSingleRealChars = "-0123456789,.eE ";
constexpr int kMaxChars = 19;
}  // namespace

bool onlyCharacters(const std::string& text, const char* allowed) {
    for (char c : text)
        if (c == '\0' || std::strchr(allowed, c) == nullptr) return false;
    return true;
}

CDialogExt::CDialogExt(Operator& op, QWidget* parent) : QDialog(parent), op_(op) {
    // Reals are read and written with a decimal point.
    std::setlocale(LC_NUMERIC, "C");
}

bool CDialogExt::readChecked(const QLineEdit* edit, const char* allowed, std::string& text) {
    text.clear();
    if (!edit) {
        op_.message(kNoValueRead, MessageKind::Information);
        return false;
    }
    text = edit->text().left(kMaxChars).toStdString();
    if (onlyCharacters(text, allowed)) return true;
    op_.message(kEnterANumber, MessageKind::Warning);
    return false;
}

template <class T, class Parse>
bool CDialogExt::readNumber(const QLineEdit* edit, const char* allowed, T& value, Parse parse) {
    std::string text;
    if (readChecked(edit, allowed, text)) {
        value = parse(text.c_str());
        return true;
    }
    if (!edit) value = 0;  // no field: nothing read
    return false;
}

int CDialogExt::ReadInt(const QLineEdit* edit) {
    std::string text;
    readChecked(edit, kIntegerChars, text);
    return static_cast<int>(std::strtol(text.c_str(), nullptr, 10));
}

bool CDialogExt::ReadInt(const QLineEdit* edit, int& value) {
    return readNumber(edit, kIntegerChars, value,
                      [](const char* t) { return static_cast<int>(std::strtol(t, nullptr, 10)); });
}

bool CDialogExt::ReadReal(const QLineEdit* edit, double& value) {
    return readNumber(edit, kRealChars, value, [](const char* t) { return std::strtod(t, nullptr); });
}

bool CDialogExt::ReadSingleReal(const QLineEdit* edit, double& value) {
    return readNumber(edit, kSingleRealChars, value, [](const char* t) { return std::strtod(t, nullptr); });
}

void CDialogExt::WriteInt(QLineEdit* edit, int value, int lower, int upper) {
    if (!edit) return;
    if (lower >= 0 && value < lower) value = lower;
    if (upper >= 0 && value > upper) value = upper;
    edit->setText(QString::fromStdString(format("%d", value)));
}

void CDialogExt::WriteReal(QLineEdit* edit, double value, int decimals, bool dash) {
    if (!edit) return;
    if (dash && value == 0.0) {
        edit->setText("-");
        return;
    }
    edit->setText(QString::fromStdString(format("%.*f", decimals, value)));
}

double CDialogExt::Round(double x) {
    return x < 0 ? std::ceil(x - 0.5) : std::floor(x + 0.5);
}

}  // namespace quelt::ui
