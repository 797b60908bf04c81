#include "up_down.h"

#include <QKeyEvent>
#include <QToolButton>
#include <algorithm>

namespace jnx {

UpDown::UpDown(QLineEdit* buddy, qint16 minimum, qint16 maximum, qint16 start, QWidget* parent)
    : QWidget(parent),
      buddy_(buddy),
      up_(new QToolButton(this)),
      down_(new QToolButton(this)),
      minimum_(minimum),
      maximum_(maximum),
      position_(start) {
    // The locale's own separators, with the thousands separator always shown.
    locale_.setNumberOptions(locale_.numberOptions() & ~QLocale::OmitGroupSeparator);
    setFocusPolicy(Qt::NoFocus);
    for (QToolButton* button : {up_, down_}) {
        button->setFocusPolicy(Qt::NoFocus);
        button->setAutoRepeat(true);
        button->setIconSize(QSize(6, 4));
    }
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    connect(up_, &QToolButton::clicked, this, [this] { stepBy(1); });
    connect(down_, &QToolButton::clicked, this, [this] { stepBy(-1); });
    connect(buddy_, &QLineEdit::textEdited, this, [this] {
        qint16 typed = 0;
        if (typedPosition(&typed)) {
            position_ = typed;
        }
        emit userChanged();
    });
    connect(buddy_, &QLineEdit::editingFinished, this, [this] { setPosition(position()); });
    buddy_->installEventFilter(this);
    setPosition(start);
}

qint16 UpDown::position() const {
    qint16 typed = 0;
    return typedPosition(&typed) ? typed : position_;
}

void UpDown::setPosition(qint64 value) {
    position_ = clamped(value);
    buddy_->setText(locale_.toString(position_));
}

void UpDown::stepBy(int steps) {
    setPosition(static_cast<qint64>(position()) + steps);
    emit userChanged();
}

bool UpDown::eventFilter(QObject* watched, QEvent* event) {
    if (watched == buddy_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            stepBy(key == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void UpDown::resizeEvent(QResizeEvent* /*event*/) {
    const int upHeight = height() / 2;
    up_->setGeometry(0, 0, width(), upHeight);
    down_->setGeometry(0, upHeight, width(), height() - upHeight);
}

bool UpDown::typedPosition(qint16* value) const {
    const QString text = buddy_->text().trimmed();
    bool ok = false;
    qint64 number = locale_.toLongLong(text, &ok);
    if (!ok) {
        number = text.toLongLong(&ok);
    }
    if (ok) {
        *value = clamped(number);
    }
    return ok;
}

qint16 UpDown::clamped(qint64 value) const {
    return static_cast<qint16>(std::clamp<qint64>(value, minimum_, maximum_));
}

}  // namespace jnx
