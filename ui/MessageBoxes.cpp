#include "ui/MessageBoxes.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <deque>

namespace {

struct Answer
{
    bool accept;
    QString text;
};

std::deque<Answer>& answers()
{
    static std::deque<Answer> queue;
    return queue;
}

QStringList& shown()
{
    static QStringList texts;
    return texts;
}

QString& lastDefault()
{
    static QString text;
    return text;
}

bool takeAnswer(Answer* out)
{
    if (answers().empty())
        return false;
    *out = answers().front();
    answers().pop_front();
    return true;
}

} // namespace

bool MessageBoxes::question(QWidget* parent, const QString& title, const QString& text)
{
    shown().append(text);
    Answer a;
    if (takeAnswer(&a))
        return a.accept;
    return QMessageBox::question(parent, title, text, QMessageBox::Ok | QMessageBox::Cancel,
                                 QMessageBox::Ok) == QMessageBox::Ok;
}

void MessageBoxes::information(QWidget* parent, const QString& title, const QString& text)
{
    shown().append(text);
    Answer a;
    if (takeAnswer(&a))
        return;
    QMessageBox::information(parent, title, text);
}

void MessageBoxes::warning(QWidget* parent, const QString& title, const QString& text)
{
    shown().append(text);
    Answer a;
    if (takeAnswer(&a))
        return;
    QMessageBox::warning(parent, title, text);
}

void MessageBoxes::error(QWidget* parent, const QString& text)
{
    warning(parent, QStringLiteral("Zorvane"), text);
}

bool MessageBoxes::input(QWidget* parent, const QString& title, const QString& prompt,
                         const QString& defaultText, QString* answer)
{
    shown().append(prompt);
    lastDefault() = defaultText;
    Answer a;
    if (takeAnswer(&a)) {
        *answer = a.text;
        return a.accept;
    }
    bool ok = false;
    *answer = QInputDialog::getText(parent, title, prompt, QLineEdit::Normal, defaultText, &ok);
    return ok;
}

bool MessageBoxes::choose(QWidget* parent, const QString& title, const QString& prompt,
                          const QStringList& items, int current, int* chosen)
{
    shown().append(prompt);
    lastDefault() = items.value(current);
    Answer a;
    QString text;
    bool ok = false;
    if (takeAnswer(&a)) {
        text = a.text;
        ok = a.accept;
    } else {
        text = QInputDialog::getItem(parent, title, prompt, items, current, false, &ok);
    }
    const qsizetype index = items.indexOf(text);
    if (!ok || index < 0)
        return false;
    *chosen = int(index);
    return true;
}

bool MessageBoxes::openFile(QWidget* parent, const QString& title, const QString& folder,
                            const QString& filter, QString* path)
{
    shown().append(title);
    Answer a;
    if (takeAnswer(&a)) {
        *path = a.text;
        return a.accept;
    }
    *path = QFileDialog::getOpenFileName(parent, title, folder, filter);
    return !path->isEmpty();
}

void MessageBoxes::pushAnswer(bool accept, const QString& text)
{
    answers().push_back({accept, text});
}

void MessageBoxes::clearAnswers()
{
    answers().clear();
}

int MessageBoxes::pendingAnswers()
{
    return int(answers().size());
}

const QStringList& MessageBoxes::shownTexts()
{
    return shown();
}

void MessageBoxes::clearShownTexts()
{
    shown().clear();
}

const QString& MessageBoxes::lastInputDefault()
{
    return lastDefault();
}
