#pragma once

#include "TestSupport.h"

#include "history/Workspace.h"
#include "ui/MessageBoxes.h"

#include <QSettings>
#include <gtest/gtest.h>

// A window test over a fresh data folder with an open workspace, the settings in their first-start
// state and no pre-answered dialogs; at the end every pre-answered dialog must have been shown.
class WindowTestFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QSettings(QSettings::IniFormat, QSettings::UserScope, "Pelq", "Pelq").clear();
        MessageBoxes::clearAnswers();
        MessageBoxes::clearShownTexts();
        QString error;
        ASSERT_TRUE(ws.open(dir.path(), &error)) << error.toStdString();
    }
    void TearDown() override
    {
        EXPECT_EQ(MessageBoxes::pendingAnswers(), 0) << "a pre-answered dialog was never shown";
        MessageBoxes::clearAnswers();
    }

    TempDataFolder dir;
    Workspace ws;
};
