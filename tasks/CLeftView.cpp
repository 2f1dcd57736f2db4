#include "tasks/CLeftView.h"

CLeftView::CLeftView(QWidget *parent) : QWidget(parent) { }
