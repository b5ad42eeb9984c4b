#pragma once

class CLocaleResourceManager;
class QMessageBox;
class QWidget;

// Opens the user manual of the interface language (the program's English
// one when the language has none) in the user's browser.
void OpenUserManual(QWidget* parent, CLocaleResourceManager& locales);

// "About Varnel Professional": the program's name, version and notice.
QMessageBox* CreateAboutBox(QWidget* parent);
void ShowAboutBox(QWidget* parent);
