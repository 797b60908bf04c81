#pragma once

#include <QLineEdit>
#include <QLocale>
#include <QString>
#include <QWidget>
#include <optional>

class QToolButton;

namespace jnx {

// Up and down buttons bound to an edit box, like the platform's up-down control. The
// position is a 16-bit value within [minimum, maximum]; the edit box shows it in decimal
// with the locale's thousands separator (1000 shows as 1,000). The buttons and the arrow
// keys in the edit box step it by one and stop at the ends.
//
// The edit box takes, as it is typed or pasted, only text that is a number or on its way
// to one: digits, a sign and the thousands separator, in their full-width forms too (a
// Japanese input method types "１２"). A number in the box is the position, clamped to the
// range; while the box holds only part of one (empty, "-") the position stays, and the box
// shows it again when it is left.
//
// A text shown with showText() (a file value that is no number) stays as it is. Until the
// user types a number or the position is set or stepped, the spin then has no position of
// its own: hasPosition() is false, and it is false again whenever the box shows that text.
class UpDown : public QWidget {
    Q_OBJECT
public:
    UpDown(QLineEdit* buddy, qint16 minimum, qint16 maximum, qint16 start,
           QWidget* parent = nullptr);

    // The position, taking a number in the edit box.
    [[nodiscard]] qint16 position() const;
    // Whether position() is a value the box stands for, rather than the text of showText().
    [[nodiscard]] bool hasPosition() const;
    // Clamps the value to the range and shows it.
    void setPosition(qint64 value);
    // Shows the text unchanged, whatever it holds.
    void showText(const QString& text);
    // Steps the position as the buttons and the arrow keys do; counts as the user's edit.
    void stepBy(int steps);

    [[nodiscard]] QLineEdit* buddy() const { return buddy_; }

signals:
    // The user typed into the edit box or stepped the position, whatever it then shows.
    void edited();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    class BuddyValidator;

    // What a text of the edit box is: a number (with its value), the start of one, or
    // neither.
    enum class Kind { Number, Partial, Other };
    struct Reading {
        Kind kind = Kind::Other;
        qint64 value = 0;
    };
    [[nodiscard]] Reading read(const QString& text) const;
    [[nodiscard]] qint16 clamped(qint64 value) const;
    [[nodiscard]] bool showsText() const;

    QLineEdit* buddy_;
    QToolButton* up_;
    QToolButton* down_;
    qint16 minimum_;
    qint16 maximum_;
    qint16 position_;
    QLocale locale_;
    std::optional<QString> shownText_;  // the text of showText(), until a position is set
    bool typedSinceShown_ = false;      // a number was typed since showText()
};

}  // namespace jnx
