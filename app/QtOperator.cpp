#include "app/QtOperator.h"

#include <QFileDialog>
#include <QMessageBox>

namespace quelt::app {

void QtOperator::message(const std::string& text, MessageKind kind) {
    QString t = QString::fromStdString(text);
    switch (kind) {
        case MessageKind::Error:
            QMessageBox::critical(parent_, "QueltLogger", t);
            break;
        case MessageKind::Warning:
            QMessageBox::warning(parent_, "QueltLogger", t);
            break;
        default:
            QMessageBox::information(parent_, "QueltLogger", t);
            break;
    }
}

bool QtOperator::askYesNo(const std::string& text) {
    if (scriptedAnswer) return *scriptedAnswer;
    return QMessageBox::question(parent_, "QueltLogger", QString::fromStdString(text),
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

std::optional<std::string> QtOperator::chooseFile(const std::string& title, const std::string& startDir,
                                                  const std::string& filter, bool forSaving) {
    if (scriptedPath) {
        std::optional<std::string> path = std::move(scriptedPath);
        scriptedPath.reset();
        return path;
    }
    QString t = QString::fromStdString(title), d = QString::fromStdString(startDir),
            f = QString::fromStdString(filter);
    // The program asks its own replace question ("Same file name exist, ...") where a file exists.
    QString chosen =
        forSaving ? QFileDialog::getSaveFileName(parent_, t, d, f, nullptr, QFileDialog::DontConfirmOverwrite)
                  : QFileDialog::getOpenFileName(parent_, t, d, f);
    if (chosen.isEmpty()) return std::nullopt;
    return chosen.toStdString();
}

std::optional<std::string> QtOperator::chooseFolder(const std::string& title, const std::string& startDir) {
    QString chosen = QFileDialog::getExistingDirectory(parent_, QString::fromStdString(title),
                                                       QString::fromStdString(startDir));
    if (chosen.isEmpty()) return std::nullopt;
    return chosen.toStdString();
}

}  // namespace quelt::app
