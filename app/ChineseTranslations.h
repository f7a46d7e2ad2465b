#pragma once

class QCoreApplication;

// Qt's own texts in Chinese: the standard buttons of message and input boxes read 确定/取消 rather
// than OK/Cancel. They come from Debian's qt6-translations-l10n; without it the program still runs,
// with Qt's English button texts.
class ChineseTranslations
{
public:
    // Loads Qt's Chinese translations into `app`; false when they are not installed.
    static bool install(QCoreApplication* app);
};
