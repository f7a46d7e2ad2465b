#include "ui/KindPicker.h"

#include <QGroupBox>
#include <QRadioButton>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

QRadioButton* option(KindPicker& picker, const QString& name)
{
    QRadioButton* o = picker.findChild<QRadioButton*>(name);
    EXPECT_NE(o, nullptr) << name.toStdString();
    return o;
}

} // namespace

// 个位 has no 通选 in either look: choosing 个位 chooses 单选 and disables 通选; the other positions
// keep the selection chosen. Each click says which kind it chose, also a click on the kind shown.
TEST(KindPicker, UnitsHaveNoGeneralSelectionAndEveryClickNamesItsKind)
{
    for (const KindPicker::Look& look : {KindPicker::mainWindowLook(), KindPicker::searchLook()}) {
        SCOPED_TRACE(look.singleName.toStdString());
        KindPicker picker(look);
        std::vector<FormulaKind> chosen;
        QObject::connect(&picker, &KindPicker::kindChosen,
                         [&](const FormulaKind& k) { chosen.push_back(k); });
        QSignalSpy senses(&picker, &KindPicker::senseChosen);

        EXPECT_EQ(picker.kind(), (FormulaKind{1, true}));
        EXPECT_TRUE(picker.kill());
        QRadioButton* general = option(picker, look.generalName);
        EXPECT_FALSE(general->isEnabled());

        option(picker, look.positionNames[2])->click(); // 百位
        EXPECT_TRUE(general->isEnabled());
        general->click();
        EXPECT_EQ(picker.kind(), (FormulaKind{3, false}));
        option(picker, look.positionNames[1])->click(); // 十位 keeps 通选
        EXPECT_EQ(picker.kind(), (FormulaKind{2, false}));
        option(picker, look.positionNames[0])->click(); // 个位
        EXPECT_EQ(picker.kind(), (FormulaKind{1, true}));
        EXPECT_FALSE(general->isEnabled());
        option(picker, look.positionNames[0])->click(); // again
        EXPECT_EQ(chosen,
                  (std::vector<FormulaKind>{{3, true}, {3, false}, {2, false}, {1, true}, {1, true}}));

        option(picker, look.keepName)->click();
        EXPECT_FALSE(picker.kill());
        option(picker, look.killName)->click();
        ASSERT_EQ(senses.count(), 2);
        EXPECT_FALSE(senses[0][0].toBool());
        EXPECT_TRUE(senses[1][0].toBool());
    }
}

// Shown from outside (a kind saved into, a scheme's kind): no signal, and the rule still holds.
TEST(KindPicker, ChoicesShownFromOutsideKeepTheRule)
{
    KindPicker picker(KindPicker::searchLook());
    QSignalSpy kinds(&picker, &KindPicker::kindChosen);
    picker.setChoice(FormulaKind{2, false}, false);
    EXPECT_EQ(picker.kind(), (FormulaKind{2, false}));
    EXPECT_FALSE(picker.kill());
    EXPECT_TRUE(option(picker, QStringLiteral("optGeneral"))->isEnabled());
    picker.setChoice(FormulaKind{1, false}, true); // 个位 has no 通选
    EXPECT_EQ(picker.kind(), (FormulaKind{1, true}));
    EXPECT_FALSE(option(picker, QStringLiteral("optGeneral"))->isEnabled());
    EXPECT_EQ(kinds.count(), 0);
    // The search window disables its frames by these names while a search runs.
    for (const char* frame : {"fraPosition", "fraSelection", "fraSense"})
        EXPECT_NE(picker.findChild<QGroupBox*>(QLatin1String(frame)), nullptr) << frame;
    // 生 stands before 杀 in the search window, after it in the main window.
    const QList<QRadioButton*> searchOrder =
        picker.findChild<QGroupBox*>("fraSense")->findChildren<QRadioButton*>();
    ASSERT_EQ(searchOrder.size(), 2);
    EXPECT_EQ(searchOrder[0]->text(), QStringLiteral("生"));
}
