#pragma once

class QWidget;
class Settings;
class HistoryColumns;

// "开奖号码顺序...": how the results pages publish each draw's numbers — 自动识别, 从小到大 or
// 按开出顺序 — stored as "HMSX"; the box shows what the detection finds in the stored draws.
class DrawOrderDialog
{
public:
    // True when the user chose an order other than the stored one (it is then stored).
    static bool ask(QWidget* parent, Settings& settings, const HistoryColumns& history);
};
