#pragma once
// Qt's own texts (standard buttons, file dialogs, context menus) in Simplified
// Chinese, as the rest of the interface, whatever the user's locale.

class QtTranslations {
public:
    // Loads Qt's zh_CN translations into the application; how many catalogues
    // were found (0 where the translations are not installed: Qt stays English).
    static int Install();
};
