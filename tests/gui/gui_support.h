// Driving the real windows in tests: widgets found by identifier, message boxes answered as they
// appear, and waiting while the event loop runs.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <deque>
#include <functional>
#include <string>
#include <vector>

template <typename W>
W* control(QWidget* window, int id) {
    return window->findChild<W*>(QString::number(id));
}

// A click where the user clicks: on a box's or choice's indicator, the middle of a button.
inline void click(QWidget* window, int id) {
    auto* button = control<QAbstractButton>(window, id);
    bool indicator = button->inherits("QCheckBox") || button->inherits("QRadioButton");
    QPoint at = indicator ? QPoint(8, button->height() / 2) : button->rect().center();
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, at);
}

// Answers every message box that opens, in order, with the buttons pushed; a box with no
// answer left gets its default (or escape) button. Every box seen is kept.
class box_answerer {
  public:
    struct box {
        std::string title, text;
    };
    box_answerer() {
        QObject::connect(&timer_, &QTimer::timeout, [this] { answer(); });
        timer_.start(20);
    }
    void push(QMessageBox::StandardButton button) { answers_.push_back(button); }
    const std::vector<box>& seen() const { return seen_; }

  private:
    void answer() {
        auto* open = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!open || open == last_) return;
        last_ = open;
        seen_.push_back({open->windowTitle().toStdString(), open->text().toStdString()});
        QMessageBox::StandardButton answer = open->defaultButton()
                                                 ? open->standardButton(open->defaultButton())
                                                 : open->standardButton(open->escapeButton());
        if (!answers_.empty()) {
            answer = answers_.front();
            answers_.pop_front();
        }
        // What a click on that button does; a click from a timer does not reach a box here.
        open->done(answer);
    }
    QTimer timer_;
    std::deque<QMessageBox::StandardButton> answers_;
    std::vector<box> seen_;
    QPointer<QMessageBox> last_; // a box answered: its successor may reuse its address
};

// Runs action once condition holds, checking while the event loop runs (in a modal dialog too).
inline void when(std::function<bool()> condition, std::function<void()> action) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, condition, action] {
        if (!condition()) return;
        timer->stop();
        timer->deleteLater();
        action();
    });
    timer->start(20);
}
