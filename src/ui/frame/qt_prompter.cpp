#include "ui/frame/qt_prompter.h"

#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <memory>

#include "ui/dialogs/password_dialog.h"
#include "ui/frame/thread_calls.h"

namespace zep8 {
namespace {

QString ToQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QMessageBox::Icon BoxIcon(Icon icon) {
    switch (icon) {
        case Icon::None:
            return QMessageBox::NoIcon;
        case Icon::Information:
            return QMessageBox::Information;
        case Icon::Warning:
            return QMessageBox::Warning;
        case Icon::Error:
        case Icon::Stop:
            return QMessageBox::Critical;
        case Icon::Question:
            return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons BoxButtons(Buttons buttons) {
    switch (buttons) {
        case Buttons::Ok:
            return QMessageBox::Ok;
        case Buttons::OkCancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case Buttons::YesNo:
            return QMessageBox::Yes | QMessageBox::No;
        case Buttons::YesNoCancel:
            return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

// The program speaks Russian whatever translations Qt finds.
void NameButtons(QMessageBox& box) {
    const std::pair<QMessageBox::StandardButton, const char*> names[] = {
        {QMessageBox::Ok, "ОК"},
        {QMessageBox::Cancel, "Отмена"},
        {QMessageBox::Yes, "Да"},
        {QMessageBox::No, "Нет"},
    };
    for (const auto& [button, name] : names) {
        if (QAbstractButton* shown = box.button(button)) shown->setText(QString::fromUtf8(name));
    }
}

}  // namespace

QtPrompter::QtPrompter(QObject* parent) : QObject(parent) {}

void QtPrompter::setWindow(QWidget* window) {
    window_ = window;
}

void QtPrompter::Abandon(bool abandoned) {
    {
        std::lock_guard lock(answersMutex_);
        abandoned_ = abandoned;
    }
    answered_.notify_all();
}

template <typename Result, typename Show>
Result QtPrompter::OnWindowThread(Result unanswered, Show show) {
    if (QThread::currentThread() == thread()) return show();
    // The calling thread waits for the answer, as it would for a modal box of
    // its own, unless the window goes first: then it takes the safe answer,
    // and a box not yet shown never is.
    struct Pending {
        bool done = false;
        Result result{};
    };
    auto pending = std::make_shared<Pending>();
    pending->result = std::move(unanswered);
    PostToThread(this, [this, pending, &show] {
        {
            std::lock_guard lock(answersMutex_);
            if (abandoned_ || pending->done) return;
        }
        Result result = show();
        {
            std::lock_guard lock(answersMutex_);
            pending->result = std::move(result);
            pending->done = true;
        }
        answered_.notify_all();
    });
    std::unique_lock lock(answersMutex_);
    answered_.wait(lock, [&] { return pending->done || abandoned_; });
    // Whatever comes later finds the question answered and leaves `show` alone.
    pending->done = true;
    return pending->result;
}

bool QtPrompter::Abandoned() {
    std::lock_guard lock(answersMutex_);
    return abandoned_;
}

Answer QtPrompter::ask(std::string_view text, std::string_view caption, Buttons buttons,
                       Icon icon) {
    // Once the caller has closed the program, a notice has nobody to read it:
    // a box on the window thread would hold the close until someone clicks.
    if (buttons == Buttons::Ok && Abandoned()) return Answer::Ok;
    const QString boxText = ToQString(text);
    const QString boxCaption = ToQString(caption);
    return OnWindowThread(SafeAnswer(buttons),
                          [&] { return ShowMessage(boxText, boxCaption, buttons, icon); });
}

std::optional<std::string> QtPrompter::enterText(std::string_view prompt, std::string_view caption,
                                                 bool masked) {
    const QString promptText = ToQString(prompt);
    const QString dialogCaption = ToQString(caption);
    return OnWindowThread(std::optional<std::string>(),
                          [&] { return ShowTextEntry(promptText, dialogCaption, masked); });
}

int QtPrompter::choose(std::string_view text, std::string_view caption,
                       const std::vector<std::string>& buttons, Icon icon, int safe) {
    const QString boxText = ToQString(text);
    const QString boxCaption = ToQString(caption);
    QStringList names;
    for (const std::string& name : buttons) names << ToQString(name);
    return OnWindowThread(safe, [&] { return ShowChoice(boxText, boxCaption, names, icon, safe); });
}

void QtPrompter::notifyWithDetails(std::string_view text, std::string_view caption, Icon icon,
                                   const std::function<void()>& details) {
    if (Abandoned()) return;
    const QString boxText = ToQString(text);
    const QString boxCaption = ToQString(caption);
    OnWindowThread(Answer::Ok,
                   [&] { return ShowMessage(boxText, boxCaption, Buttons::Ok, icon, details); });
}

Answer QtPrompter::ShowMessage(const QString& text, const QString& caption, Buttons buttons,
                               Icon icon, const std::function<void()>& details) {
    QMessageBox box(BoxIcon(icon), caption, text, BoxButtons(buttons), window_);
    box.setTextFormat(Qt::PlainText);
    NameButtons(box);
    if (details) {
        QPushButton* more = box.addButton(QStringLiteral("Подробнее..."), QMessageBox::ActionRole);
        // The box's own handling would close it; the details open over it instead.
        QObject::disconnect(more, &QAbstractButton::clicked, nullptr, nullptr);
        QObject::connect(more, &QAbstractButton::clicked, &box, [&details] { details(); });
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
    }
    switch (box.exec()) {
        case QMessageBox::Ok:
            return Answer::Ok;
        case QMessageBox::Cancel:
            return Answer::Cancel;
        case QMessageBox::Yes:
            return Answer::Yes;
        case QMessageBox::No:
            return Answer::No;
        default:
            return SafeAnswer(buttons);
    }
}

int QtPrompter::ShowChoice(const QString& text, const QString& caption, const QStringList& buttons,
                           Icon icon, int safe) {
    QMessageBox box(BoxIcon(icon), caption, text, QMessageBox::NoButton, window_);
    box.setTextFormat(Qt::PlainText);
    QList<QAbstractButton*> shown;
    for (int i = 0; i < buttons.size(); ++i) {
        // Escape and Enter give the safe choice: a question of trust is answered by a click.
        const auto role = i == safe ? QMessageBox::RejectRole : QMessageBox::AcceptRole;
        QPushButton* button = box.addButton(buttons[i], role);
        if (i == safe) {
            box.setEscapeButton(button);
            box.setDefaultButton(button);
        }
        shown << button;
    }
    box.exec();
    const int pressed = static_cast<int>(shown.indexOf(box.clickedButton()));
    return pressed < 0 ? safe : pressed;
}

std::optional<std::string> QtPrompter::ShowTextEntry(const QString& prompt, const QString& caption,
                                                     bool masked) {
    CPasswordDialog dialog(window_, prompt, caption, masked);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.text().toStdString();
}

}  // namespace zep8
