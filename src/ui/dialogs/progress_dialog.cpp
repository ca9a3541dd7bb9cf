#include "ui/dialogs/progress_dialog.h"

#include <QEventLoop>
#include <QString>
#include <QThread>

#include "ui/frame/widget_helpers.h"
#include "ui_progress_dialog.h"

namespace zep8 {

CProgressDialog::CProgressDialog(QWidget* parent, std::function<void()> abort)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      ui_(std::make_unique<Ui::CProgressDialog>()),
      abort_(std::move(abort)) {
    ui_->setupUi(this);
    // As wide as the longest job caption, so that the dialog keeps its size.
    QStringList captions;
    for (Job job : {Job::ReadAll, Job::WriteAll, Job::WriteChanged, Job::Compare, Job::ReadOne,
                    Job::WriteOne, Job::CompareBeforeWrite}) {
        captions << Q(JobCaption(job));
    }
    KeepCaptionWhole(*this, captions);
    // Nothing to resize: a window manager that draws a close box whatever the
    // flags say (openbox) at least leaves out maximising for a fixed size.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    // The job stops before its next parameter and closes the dialog itself.
    connect(ui_->abortButton, &QPushButton::clicked, this, [this] {
        if (abort_) abort_();
    });
}

CProgressDialog::~CProgressDialog() = default;

void CProgressDialog::JobStarted(Job, std::string_view caption) {
    Q_ASSERT(QThread::currentThread() == thread());
    ++job_;
    finished_ = false;
    displayEnded_ = false;
    setWindowTitle(QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size())));
    for (auto counter : {ProgressCounter::Groups, ProgressCounter::GroupsWithErrors,
                         ProgressCounter::Parameters, ProgressCounter::ParametersWithErrors}) {
        Field(counter)->setText(QStringLiteral("0"));
    }
}

void CProgressDialog::CounterChanged(ProgressCounter counter, int value) {
    const unsigned job = job_;
    PostToThread(this, [this, counter, value, job] {
        if (job == job_) Field(counter)->setText(QString::number(value));
    });
}

void CProgressDialog::DisplayEnded() {
    const unsigned job = job_;
    displayEnded_ = true;
    PostToThread(this, [this, job] {
        if (job == job_) done(QDialog::Accepted);
    });
}

void CProgressDialog::JobFinished() {
    const unsigned job = job_;
    displayEnded_ = true;
    finished_ = true;
    // Also wakes the wait below when it is in the window's events.
    PostToThread(this, [this, job] {
        if (job == job_) done(QDialog::Accepted);
    });
}

void CProgressDialog::WaitForJob() {
    Q_ASSERT(QThread::currentThread() == thread());
    // The flags, not the queued closes, decide: the close of a job that ended
    // early may already have run. exec() returns before the display has ended
    // only when the application exits; from then on every event loop returns
    // at once, so the rest is waited for without one.
    if (!displayEnded_) exec();
    // What the job's end hands to the window (the apply dialog, a save) comes
    // meanwhile, with the progress display gone. Each round sleeps until an
    // event comes: the job's end posts one (JobFinished), and so does every
    // counter. No deadline of its own: the job ends by itself (the link's
    // time-outs bound each exchange), by "Прервать" or by the exit event.
    while (!finished_) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    // An early display's close may come after a job that ended at once.
    if (isVisible()) done(QDialog::Accepted);
}

void CProgressDialog::reject() {}

QLineEdit* CProgressDialog::Field(ProgressCounter counter) const {
    switch (counter) {
        case ProgressCounter::Groups:
            return ui_->groupsField;
        case ProgressCounter::GroupsWithErrors:
            return ui_->groupsWithErrorsField;
        case ProgressCounter::Parameters:
            return ui_->parametersField;
        case ProgressCounter::ParametersWithErrors:
            return ui_->parametersWithErrorsField;
    }
    return ui_->parametersField;
}

}  // namespace zep8
