#pragma once

#include <QFrame>

#include "controls/controls_export.h"

class QLabel;
class QToolButton;

// A bar above a view that shows one message until the user closes it.
class CONTROLS_API CMessageBar : public QFrame {
public:
    enum Kind { Information, Warning, Error };

    explicit CMessageBar(QWidget* parent = nullptr);
    ~CMessageBar() override;

    void ShowMessage(const QString& text, Kind kind = Information);

private:
    QLabel* m_text;
    QToolButton* m_close;
};
