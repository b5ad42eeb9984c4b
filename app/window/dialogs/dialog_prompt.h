#pragma once

#include <functional>

#include <QMessageBox>
#include <QString>

// The message boxes of the dialogs. Tests answer them through a hook instead
// of a user; the program shows a real box.
struct DialogPromptRequest {
    QMessageBox::Icon icon = QMessageBox::Information;
    QString text;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
};
using DialogPromptHook = std::function<QMessageBox::StandardButton(const DialogPromptRequest&)>;

// Shows text in a box titled like the parent's window and returns the button
// chosen (the hook's answer when one is set).
QMessageBox::StandardButton ShowDialogPrompt(QWidget* parent, QMessageBox::Icon icon, const QString& text,
                                             QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                             QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

// Replaces the hook (an empty one restores the real boxes); returns the old one.
DialogPromptHook SetDialogPromptHook(DialogPromptHook hook);
