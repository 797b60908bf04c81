#pragma once

#include <QLineEdit>
#include <QLocale>
#include <QWidget>

class QToolButton;

namespace jnx {

// Up and down buttons bound to an edit box, like the platform's up-down control. The
// position is a 16-bit value within [minimum, maximum]; the edit box shows it in decimal
// with the locale's thousands separator (1000 shows as 1,000). The buttons and the arrow
// keys in the edit box step it by one and stop at the ends. A number typed into the edit
// box becomes the position, clamped to the range; other text leaves the position as it
// was.
class UpDown : public QWidget {
    Q_OBJECT
public:
    UpDown(QLineEdit* buddy, qint16 minimum, qint16 maximum, qint16 start,
           QWidget* parent = nullptr);

    // The position, taking a number typed into the edit box.
    [[nodiscard]] qint16 position() const;
    // Clamps the value to the range and shows it.
    void setPosition(qint64 value);
    void stepBy(int steps);

    [[nodiscard]] QLineEdit* buddy() const { return buddy_; }

signals:
    // The user stepped the position or typed into the edit box.
    void userChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    [[nodiscard]] bool typedPosition(qint16* value) const;
    [[nodiscard]] qint16 clamped(qint64 value) const;

    QLineEdit* buddy_;
    QToolButton* up_;
    QToolButton* down_;
    qint16 minimum_;
    qint16 maximum_;
    qint16 position_;
    QLocale locale_;
};

}  // namespace jnx
