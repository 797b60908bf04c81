// Page transfer: the rows show the page's groups and give every edit back to its group.

#include <QTest>

#include "controls/cp932_text.h"
#include "errors.h"
#include "look/window_style.h"
#include "settings_file.h"
#include "tables.h"
#include "window_test_support.h"

namespace jnx {

using layout::Column;

using test::Captions;
using test::ClickPage;
using test::DistinctModel;
using test::TypeInto;
using test::TypeText;
using test::WindowOn;

namespace {

// "'abc' は整数ではありません" as the model's bytes.
std::string NotAnInteger(const std::string& text) {
    return ConversionError(text).message();
}

}  // namespace

class PageTransferTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { UseWindowLook(); }

    void sampleFileShowsFirstPage();
    void pagesShowTheirGroups();
    // Each control shows its own value of its row's group and gives an edit back to it; a
    // trip through every page gives every value back unchanged.
    void everyControlShowsAndStoresItsOwnValue();
    void editsSurviveATripToAnotherPage();
    void editsOfEveryPageReachTheModel();
    void clickingTheShownPageChangesNothingElse();
    void spinPositionsAreStoredAsPlainDecimal();
    void outOfRangeSpinValuesAreClamped();
    void untouchedInvalidBytesAreKept();
    void typedTextIsStoredInCodePage932();
    void pauseBoxIsCheckedOnlyForTrue();
    // A bad spin value neither stops the fill nor leaks into another group.
    void failedFillFillsEverythingElse();
    void failedFillStoresTheGroupsOwnText();
    void userChangeOfAFailedSpinIsStored();
    // A spin showing a file value that is no number takes no typed text that is none
    // either, and stores the group's own text until it holds a number: never the position
    // another group left in it.
    void failedSpinTakesOnlyANumber();
};

void PageTransferTest::sampleFileShowsFirstPage() {
    SettingsModel model;
    ReadIni(model, test::SampleSettingsPath());
    const std::unique_ptr<TQvEnv> window = WindowOn(model);
    QCOMPARE(Captions(*window), QStringLiteral("0123456789AB"));
    QCOMPARE(window->row(1).list(Column::Type)->currentText(), QStringLiteral("単勝"));
    QCOMPARE(window->row(1).list(Column::Bb)->currentText(), QStringLiteral("札幌"));
}

void PageTransferTest::pagesShowTheirGroups() {
    const std::unique_ptr<TQvEnv> window = WindowOn(DistinctModel());
    QCOMPARE(Captions(*window), QStringLiteral("0123456789AB"));
    ClickPage(*window, 2);
    QCOMPARE(Captions(*window), QStringLiteral("CDEFGHIJKLMN"));
    QCOMPARE(window->row(1).text(Column::Total)->text(), QStringLiteral("T12"));
    ClickPage(*window, 3);
    QCOMPARE(Captions(*window), QStringLiteral("OPQRSTUVWXYZ"));
    QCOMPARE(window->row(12).text(Column::PN)->text(), QStringLiteral("P35"));
    ClickPage(*window, 1);
    QCOMPARE(Captions(*window), QStringLiteral("0123456789AB"));
}

void PageTransferTest::everyControlShowsAndStoresItsOwnValue() {
    const SettingsModel model = DistinctModel();
    const std::unique_ptr<TQvEnv> window = WindowOn(model);
    for (const int page : {1, 2, 3}) {
        window->pages().switchTo(page);
    }
    window->pages().switchTo(1);
    QVERIFY(window->model() == model);

    // Row 6 of page 2 shows group "H", 17.
    const struct {
        const char* control;
        std::optional<FieldIndex> field;  // none: the active flag
        QString shown;
        QString edited;
        std::string stored;
    } controls[] = {
        {"Act6", std::nullopt, "unchecked", "checked", ""},
        {"Type6", kTypeField, "枠連", "単勝", "\x92\x50\x8F\x9F"},
        {"Nk6", kPopularityField, "3", "5", "5"},
        {"Bb6", kCourseField, "京都", "札幌", "\x8E\x44\x96\x79"},
        {"Race6", kRaceField, "18", "xRace", "xRace"},
        {"Step6", kStepField, "S17", "xStep", "xStep"},
        {"Total6", kTotalField, "T17", "xTotal", "xTotal"},
        {"Bet6", kBetField, "B17", "xBet", "xBet"},
        {"Odd6", kOddField, "O17", "xOdd", "xOdd"},
        {"Plus6", kPlusField, "L17", "xPlus", "xPlus"},
        {"Skip6", kSkipField, "K17", "xSkip", "xSkip"},
        {"mOdd6", kMinOddField, "M17", "xmOdd", "xmOdd"},
        {"mStep6", kMaxStepField, "171", "20", "20"},
        {"PN6", kBalanceField, "P17", "xPN", "xPN"},
    };
    ClickPage(*window, 2);
    SettingsModel expected = model;
    for (const auto& c : controls) {
        auto* control = test::Control<QWidget>(*window, QString::fromLatin1(c.control));
        QCOMPARE(test::ShownText(control), c.shown);
        if (auto* check = qobject_cast<QCheckBox*>(control)) {
            check->setChecked(c.edited == QStringLiteral("checked"));
            expected.group(17).active = c.edited == QStringLiteral("checked");
            continue;
        }
        if (auto* list = qobject_cast<QComboBox*>(control)) {
            list->setCurrentText(c.edited);
        } else {
            qobject_cast<QLineEdit*>(control)->setText(c.edited);
        }
        expected.group(17).fields[*c.field] = c.stored;
    }
    ClickPage(*window, 1);
    QVERIFY(window->model() == expected);
}

void PageTransferTest::editsSurviveATripToAnotherPage() {
    const std::unique_ptr<TQvEnv> window = WindowOn(DistinctModel());
    TypeInto(window->row(4).text(Column::mOdd), "1.5");
    window->row(4).check()->setChecked(true);
    ClickPage(*window, 3);
    QCOMPARE(window->row(4).text(Column::mOdd)->text(), QStringLiteral("M27"));
    ClickPage(*window, 1);
    QCOMPARE(window->row(4).text(Column::mOdd)->text(), QStringLiteral("1.5"));
    QVERIFY(window->row(4).check()->isChecked());
}

void PageTransferTest::editsOfEveryPageReachTheModel() {
    const std::unique_ptr<TQvEnv> window = WindowOn(DistinctModel());
    TypeInto(window->row(1).text(Column::Total), "100");
    ClickPage(*window, 2);
    TypeInto(window->row(2).text(Column::Total), "200");  // group "D"
    ClickPage(*window, 3);
    TypeInto(window->row(12).text(Column::Total), "300");  // group "Z"
    TypeInto(window->Edit3, "D:\\Pat\\");
    window->pages().storeShownPage();
    const SettingsModel& model = window->model();
    QCOMPARE(model.group(0).fields[kTotalField], "100");
    QCOMPARE(model.group(13).fields[kTotalField], "200");
    QCOMPARE(model.group(35).fields[kTotalField], "300");
    QCOMPARE(model.patFolder, "D:\\Pat\\");
    SettingsModel expected = DistinctModel();
    expected.group(0).fields[kTotalField] = "100";
    expected.group(13).fields[kTotalField] = "200";
    expected.group(35).fields[kTotalField] = "300";
    expected.patFolder = "D:\\Pat\\";
    QVERIFY(model == expected);
}

void PageTransferTest::clickingTheShownPageChangesNothingElse() {
    const std::unique_ptr<TQvEnv> window = WindowOn(DistinctModel());
    ClickPage(*window, 2);
    TypeInto(window->row(3).text(Column::Skip), "9");
    ClickPage(*window, 2);
    QCOMPARE(window->pages().currentPage(), 2);
    QCOMPARE(Captions(*window), QStringLiteral("CDEFGHIJKLMN"));
    QCOMPARE(window->row(3).text(Column::Skip)->text(), QStringLiteral("9"));
    SettingsModel expected = DistinctModel();
    expected.group(14).fields[kSkipField] = "9";
    QVERIFY(window->model() == expected);
}

void PageTransferTest::spinPositionsAreStoredAsPlainDecimal() {
    SettingsModel model = DistinctModel();
    model.group(0).fields[kPopularityField] = "3";
    model.group(0).fields[kMaxStepField] = "1000";
    model.group(1).fields[kMaxStepField] = "012";
    model.group(2).fields[kMaxStepField] = "$10";
    const std::unique_ptr<TQvEnv> window = WindowOn(model);
    QCOMPARE(window->row(1).spin(Column::Ud)->position(), 3);
    QCOMPARE(window->row(1).edit(Column::Nk)->text(), QStringLiteral("3"));
    QCOMPARE(window->row(1).edit(Column::mStep)->text(), QStringLiteral("1,000"));
    QCOMPARE(window->row(2).edit(Column::mStep)->text(), QStringLiteral("12"));
    ClickPage(*window, 1);
    QCOMPARE(window->model().group(0).fields[kPopularityField], "3");
    QCOMPARE(window->model().group(0).fields[kMaxStepField], "1000");
    QCOMPARE(window->model().group(1).fields[kMaxStepField], "12");
    QCOMPARE(window->model().group(2).fields[kMaxStepField], "16");
}

void PageTransferTest::outOfRangeSpinValuesAreClamped() {
    const struct {
        const char* popularity;
        const char* maxStep;
        const char* storedPopularity;
        const char* storedMaxStep;
    } cases[] = {
        {"0", "0", "1", "1"},
        {"6", "1001", "5", "1000"},
        {"-40000", "70000", "1", "1000"},
        {"2147483647", "-2147483648", "5", "1"},
    };
    for (const auto& c : cases) {
        SettingsModel model = DistinctModel();
        model.group(5).fields[kPopularityField] = c.popularity;
        model.group(5).fields[kMaxStepField] = c.maxStep;
        const std::unique_ptr<TQvEnv> window = WindowOn(model);
        ClickPage(*window, 1);
        QCOMPARE(window->model().group(5).fields[kPopularityField], c.storedPopularity);
        QCOMPARE(window->model().group(5).fields[kMaxStepField], c.storedMaxStep);
    }
}

void PageTransferTest::untouchedInvalidBytesAreKept() {
    // A lone lead byte, a lead byte before a blank, an undefined lead-trail pair, 80 and
    // A0 that code page 932 leaves undefined, and a NEC-selected IBM extension whose
    // character converts back to its IBM code (ED40 → U+7E8A → FA5C).
    const std::string odd[] = {"1\x81", "\x81 x", "\x85\x40", "\x80\xA0", "\xED\x40"};
    for (const std::string& bytes : odd) {
        SettingsModel model = DistinctModel();
        model.group(2).fields[kBetField] = bytes;
        model.group(2).fields[kTypeField] = bytes;
        model.betAutoReadFolder = bytes;
        const std::unique_ptr<TQvEnv> window = WindowOn(model);
        ClickPage(*window, 1);
        QVERIFY(window->model() == model);
    }
}

void PageTransferTest::typedTextIsStoredInCodePage932() {
    SettingsModel model = DistinctModel();
    model.group(0).fields[kOddField] = "ab\x80";
    const std::unique_ptr<TQvEnv> window = WindowOn(model);
    TypeInto(window->row(1).text(Column::Total), QStringLiteral("1〜3"));
    QCOMPARE(window->row(1).text(Column::Total)->text(), QStringLiteral("1～3"));
    TypeInto(window->row(1).text(Column::Plus), QStringLiteral("−5 ¢£¬‖ ソ表"));
    // An edit beside bytes that are not code page 932 keeps those bytes.
    QTest::keyClick(window->row(1).text(Column::Odd), Qt::Key_Home);
    test::TypeText(window->row(1).text(Column::Odd), "x");
    // Characters code page 932 cannot hold are refused as they are typed.
    TypeInto(window->row(1).text(Column::Skip), QStringLiteral("é¥😀—"));
    QCOMPARE(window->row(1).text(Column::Skip)->text(), QString());
    ClickPage(*window, 1);
    const auto& fields = window->model().group(0).fields;
    QCOMPARE(fields[kTotalField],
             "1\x81\x60"
             "3");
    QCOMPARE(fields[kPlusField],
             "\x81\x7C"
             "5 \x81\x91\x81\x92\x81\xCA\x81\x61 \x83\x5C\x95\x5C");
    QCOMPARE(fields[kOddField], "xab\x80");
    QCOMPARE(fields[kSkipField], "");
}

void PageTransferTest::pauseBoxIsCheckedOnlyForTrue() {
    const struct {
        const char* pause;
        bool checked;
        const char* stored;
    } cases[] = {{"True", true, "True"},    {"true", false, "False"}, {"TRUE", false, "False"},
                 {" True", false, "False"}, {"", false, "False"},     {"1", false, "False"}};
    for (const auto& c : cases) {
        SettingsModel model = DistinctModel();
        model.pauseText = c.pause;
        const std::unique_ptr<TQvEnv> window = WindowOn(model);
        QCOMPARE(window->CheckBox1->isChecked(), c.checked);
        ClickPage(*window, 1);
        QCOMPARE(window->model().pauseText, c.stored);
    }
}

void PageTransferTest::failedFillFillsEverythingElse() {
    SettingsModel model = DistinctModel();
    model.group(14).fields[kPopularityField] = "abc";  // page 2, row 3
    model.group(20).fields[kMaxStepField] = " ";       // page 2, row 9
    const std::unique_ptr<TQvEnv> window = WindowOn(model);
    try {
        window->pages().switchTo(2);
        QFAIL("no conversion error");
    } catch (const ConversionError& error) {
        QCOMPARE(error.message(), NotAnInteger("abc"));
    }
    QCOMPARE(window->pages().currentPage(), 2);
    QCOMPARE(Captions(*window), QStringLiteral("CDEFGHIJKLMN"));
    for (int r = 1; r <= 12; ++r) {
        const std::size_t g = 11 + static_cast<std::size_t>(r);
        QCOMPARE(window->row(r).text(Column::Total)->text(), QStringLiteral("T%1").arg(g));
        QCOMPARE(window->row(r).text(Column::PN)->text(), QStringLiteral("P%1").arg(g));
        if (g != 20) {
            QCOMPARE(window->row(r).spin(Column::MaxStepSpin)->position(), qint16(g * 10 + 1));
        }
    }
    QCOMPARE(window->row(3).edit(Column::Nk)->text(), QStringLiteral("abc"));
    QCOMPARE(window->Edit2->text(), QStringLiteral("C:\\Auto\\"));
}

void PageTransferTest::failedFillStoresTheGroupsOwnText() {
    SettingsModel model = DistinctModel();
    model.group(14).fields[kPopularityField] = "abc";
    model.group(20).fields[kMaxStepField] = " ";
    const std::unique_ptr<TQvEnv> window = WindowOn(model);
    QVERIFY_THROWS_EXCEPTION(ConversionError, window->pages().switchTo(2));
    // The two spins still hold page 1's positions; storing them would move group "2"'s
    // popularity and group "8"'s maximum step into groups "E" and "K".
    window->pages().switchTo(1);
    QVERIFY(window->model() == model);
}

void PageTransferTest::userChangeOfAFailedSpinIsStored() {
    SettingsModel model = DistinctModel();
    model.group(14).fields[kPopularityField] = "abc";
    model.group(20).fields[kMaxStepField] = " ";
    const std::unique_ptr<TQvEnv> window = WindowOn(model);
    QVERIFY_THROWS_EXCEPTION(ConversionError, window->pages().switchTo(2));
    TypeInto(window->row(3).edit(Column::Nk), "4");
    window->row(9)
        .spin(Column::MaxStepSpin)
        ->stepBy(1);  // from page 1's 81, the position it still holds
    window->pages().switchTo(1);
    QCOMPARE(window->model().group(14).fields[kPopularityField], "4");
    QCOMPARE(window->model().group(20).fields[kMaxStepField], "82");
}

void PageTransferTest::failedSpinTakesOnlyANumber() {
    SettingsModel model = DistinctModel();
    model.group(14).fields[kPopularityField] = "abc";            // page 2, row 3
    model.group(15).fields[kMaxStepField] = "\x82\x50\x82\x51";  // "１２", page 2, row 4
    const std::unique_ptr<TQvEnv> window = WindowOn(model);
    window->show();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    QVERIFY_THROWS_EXCEPTION(ConversionError, window->pages().switchTo(2));
    QCOMPARE(window->row(4).edit(Column::mStep)->text(),
             QStringLiteral("１２"));  // as the file has it

    QLineEdit* box = window->row(3).edit(Column::Nk);
    box->setFocus();
    QTest::keyClick(box, Qt::Key_End);
    TypeText(box, QStringLiteral("x"));
    QTest::keyClick(box, Qt::Key_Backspace);
    QCOMPARE(box->text(), QStringLiteral("abc"));
    // Emptied, the box stands for no number yet: page 1's position (3) stays out of "E".
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_Delete);
    QCOMPARE(box->text(), QString());
    window->pages().storeShownPage();
    QCOMPARE(window->model().group(14).fields[kPopularityField], "abc");
    QCOMPARE(window->model().group(15).fields[kMaxStepField], "\x82\x50\x82\x51");
    // Left empty, it shows the group's text again.
    window->row(5).text(Column::PN)->setFocus();
    QCOMPARE(box->text(), QStringLiteral("abc"));

    // A number typed over the full-width text is stored as the number.
    TypeInto(window->row(4).edit(Column::mStep), QStringLiteral("３４"));
    window->pages().storeShownPage();
    QCOMPARE(window->model().group(15).fields[kMaxStepField], "34");
}

}  // namespace jnx

QTEST_MAIN(jnx::PageTransferTest)
#include "page_transfer_test.moc"
