#pragma once
// The task panel of a tab, pane (0,0) of its frame. For now a plain empty
// widget; the panel's controls come with the task list.

#include <QWidget>

class CLeftView : public QWidget {
    Q_OBJECT
public:
    explicit CLeftView(QWidget *parent = nullptr);

    // Called once the frame holds both panes.
    virtual void OnInitialUpdate() { }
};
