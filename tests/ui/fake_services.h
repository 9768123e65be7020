// Answers the dialogs' questions in tests: records every error box and
// hands out prepared chooser answers (an empty answer is a Cancel).
#pragma once

#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <deque>

#include "ui/ui_services.h"

struct ShownError {
    QString message;
    QString detail;
};

class FakeServices : public xoprex::ui::UiServices {
  public:
    void showError(QWidget*, const QString& message, const QString& detail) override {
        errors.push_back({message, detail});
    }
    bool confirm(QWidget*, const QString&, const QString&) override {
        ++confirmations;
        return confirmAnswer;
    }
    QString openFile(QWidget*, const QString&, const QString&, const QString&) override {
        return next(openAnswers);
    }
    QString saveFile(QWidget*, const QString&, const QString&, const QString&) override {
        ++saveRequests;
        return next(saveAnswers);
    }
    QString chooseFolder(QWidget*, const QString&, const QString&) override {
        return next(folderAnswers);
    }

    QString lastError() const { return errors.empty() ? QString() : errors.back().message; }

    std::deque<ShownError> errors;
    std::deque<QString> openAnswers, saveAnswers, folderAnswers;
    bool confirmAnswer = true;
    int confirmations = 0;
    int saveRequests = 0;

  private:
    static QString next(std::deque<QString>& answers) {
        if (answers.empty()) {
            return {};
        }
        QString answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

// The sixteen values of an options file: the rest of each line after a '$'.
inline QStringList optionValues(const QString& path) {
    QFile file(path);
    QStringList values;
    if (!file.open(QIODevice::ReadOnly)) {
        return values;
    }
    for (const QByteArray& line : file.readAll().split('\n')) {
        const int dollar = line.indexOf('$');
        if (dollar >= 0) {
            values << QString::fromUtf8(line.mid(dollar + 1)).remove(QLatin1Char('\r'));
        }
    }
    return values;
}
