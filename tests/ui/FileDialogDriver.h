#pragma once

#include <QApplication>
#include <QFileDialog>
#include <QPointer>
#include <QTimer>

#include <functional>

// Answers the first open-file dialog that comes up while it runs, from the event loop, as a user
// would. The dialog reads its folder in the background and may not take an answer given too
// early, so the answer is given again on each tick until the dialog has gone.
class FileDialogDriver {
public:
    explicit FileDialogDriver(std::function<void(QFileDialog&)> answer) : answer_(std::move(answer))
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
        timer_.start(10);
    }
    // Whether a dialog was answered.
    bool Answered() const { return answered_ > 0; }

private:
    void Tick()
    {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        // Only the first dialog is this driver's.
        if (answered_ > 0 && (first_.isNull() || dialog != first_.data()))
            dialog = nullptr;
        if (dialog == nullptr) {
            // Gone after an answer, or never came (bounded: about ten seconds).
            if (answered_ > 0 || ++idle_ > 1000)
                timer_.stop();
            return;
        }
        first_ = dialog;
        ++answered_;
        answer_(*dialog);
    }

    std::function<void(QFileDialog&)> answer_;
    QTimer timer_;
    QPointer<QFileDialog> first_;
    int answered_ = 0;
    int idle_ = 0;
};
