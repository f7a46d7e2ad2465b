#pragma once

#include <QString>

class QWidget;
class Settings;

// "留出检验期数设置(&H)...": how many of the newest draws the back-test and the search hold out.
class HoldOutDialog
{
public:
    // Asks until the answer is a whole number from 0 to half of `drawCount`, which is stored as
    // "HoldOut"; any other answer is explained and asked again. An empty answer or a cancelled box
    // changes nothing. True when a value was stored.
    static bool ask(QWidget* parent, Settings& settings, int drawCount);
    // The answer as a number of draws; false unless it is a whole number from 0 to drawCount / 2.
    static bool parse(const QString& answer, int drawCount, int* draws);
};
