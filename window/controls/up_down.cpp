#include "controls/up_down.h"

#include <QKeyEvent>
#include <QToolButton>
#include <QValidator>
#include <algorithm>
#include <limits>

namespace jnx {

namespace {

// The text with the full-width digits, signs and comma a Japanese input method types in
// their ASCII forms; the full-width comma is taken for the thousands separator.
QString HalfWidthNumber(const QString& text, const QString& groupSeparator) {
    QString converted;
    converted.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= u'\uFF10' && u <= u'\uFF19') {
            converted += QChar(u'0' + (u - u'\uFF10'));
        } else if (u == u'\uFF0B') {
            converted += u'+';
        } else if (u == u'\uFF0D' || u == u'\u2212') {
            converted += u'-';
        } else if (u == u'\uFF0C') {
            converted += groupSeparator;
        } else {
            converted += c;
        }
    }
    return converted;
}

bool AllDigits(QStringView text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

}  // namespace

// Lets into the edit box only what read() takes for a number or the start of one, and the
// text of showText() as it is. A box left holding only the start of a number shows the
// position again (or the text of showText(), when no number was typed since).
class UpDown::BuddyValidator : public QValidator {
public:
    explicit BuddyValidator(UpDown* spin) : QValidator(spin), spin_(spin) {}

    State validate(QString& input, int& /*pos*/) const override {
        if (spin_->shownText_ && input == *spin_->shownText_) {
            return Acceptable;
        }
        switch (spin_->read(input).kind) {
            case Kind::Number:
                return Acceptable;
            case Kind::Partial:
                return Intermediate;
            case Kind::Other:
                break;
        }
        return Invalid;
    }

    void fixup(QString& input) const override {
        input = spin_->shownText_ && !spin_->typedSinceShown_
                    ? *spin_->shownText_
                    : spin_->locale_.toString(spin_->position_);
    }

private:
    UpDown* spin_;
};

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
    buddy_->setValidator(new BuddyValidator(this));
    connect(buddy_, &QLineEdit::textEdited, this, [this](const QString& text) {
        const Reading typed = read(text);
        if (typed.kind == Kind::Number) {
            position_ = clamped(typed.value);
            typedSinceShown_ = true;
        }
        emit edited();
    });
    // The box shows a typed number as a set position shows ("1000" as "1,000").
    connect(buddy_, &QLineEdit::editingFinished, this, [this] {
        if (hasPosition()) {
            setPosition(position());
        }
    });
    buddy_->installEventFilter(this);
    setPosition(start);
}

qint16 UpDown::position() const {
    const Reading shown = read(buddy_->text());
    return shown.kind == Kind::Number ? clamped(shown.value) : position_;
}

bool UpDown::hasPosition() const {
    return !shownText_ || (typedSinceShown_ && !showsText());
}

void UpDown::setPosition(qint64 value) {
    position_ = clamped(value);
    shownText_.reset();
    typedSinceShown_ = false;
    buddy_->setText(locale_.toString(position_));
}

void UpDown::showText(const QString& text) {
    // Known to the validator before the box validates it.
    shownText_ = text;
    typedSinceShown_ = false;
    buddy_->setText(text);
}

void UpDown::stepBy(int steps) {
    setPosition(static_cast<qint64>(position()) + steps);
    emit edited();
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

UpDown::Reading UpDown::read(const QString& text) const {
    const QString number = HalfWidthNumber(text, locale_.groupSeparator()).trimmed();
    bool ok = false;
    qint64 value = locale_.toLongLong(number, &ok);
    if (!ok) {
        value = number.toLongLong(&ok);
    }
    if (ok) {
        return {Kind::Number, value};
    }
    const bool negative = number.startsWith(u'-');
    const QStringView digits = QStringView(number).mid(negative || number.startsWith(u'+') ? 1 : 0);
    if (!digits.isEmpty() && AllDigits(digits)) {
        // Too many digits for 64 bits: beyond either end of any range.
        return {Kind::Number,
                negative ? std::numeric_limits<qint64>::min() : std::numeric_limits<qint64>::max()};
    }
    // Digits with thousands separators not yet where they belong ("1,0" on the way to
    // "1,000"), or not even a digit yet.
    QString withoutSeparators = digits.toString();
    withoutSeparators.remove(locale_.groupSeparator());
    if (AllDigits(withoutSeparators)) {
        return {Kind::Partial, 0};
    }
    return {Kind::Other, 0};
}

qint16 UpDown::clamped(qint64 value) const {
    return static_cast<qint16>(std::clamp<qint64>(value, minimum_, maximum_));
}

bool UpDown::showsText() const {
    return shownText_ && buddy_->text() == *shownText_;
}

}  // namespace jnx
