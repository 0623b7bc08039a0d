#include "app/about_dialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>

namespace zoqe {

namespace {

const char kComponentNotice[] = QT_TRANSLATE_NOOP(
    "zoqe::AboutDialog",
    "文本视图使用 QScintilla 编辑组件（Scintilla 的 Qt 移植）。\n"
    "\n"
    "Scintilla: Copyright 1998-2021 by Neil Hodgson <neilh@scintilla.org>. "
    "All Rights Reserved. Permission to use, copy, modify, and distribute this "
    "software and its documentation for any purpose and without fee is hereby "
    "granted, provided that the above copyright notice appear in all copies and "
    "that both that copyright notice and this permission notice appear in "
    "supporting documentation.\n"
    "\n"
    "QScintilla: Copyright (c) Riverbank Computing Limited, released under the "
    "GNU General Public License version 3.");

QLabel* Link(const QString& text, const QString& target, QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setText(QStringLiteral("<a href=\"%1\">%2</a>").arg(target, text.toHtmlEscaped()));
  label->setOpenExternalLinks(true);
  label->setCursor(Qt::PointingHandCursor);
  return label;
}

}  // namespace

QString AboutDialog::VersionText() {
  QString version = tr("版本 ") + QStringLiteral(ZOQ_VERSION_TEXT);
  return version.replace(QLatin1Char(','), QLatin1Char('.'));
}

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(tr("关于 ZOQ Explorer"));
  auto* icon = new QLabel(this);
  icon->setPixmap(QApplication::windowIcon().pixmap(32, 32));
  auto* name = new QLabel(QStringLiteral("ZOQ Explorer"), this);
  QFont bold = name->font();
  bold.setBold(true);
  name->setFont(bold);
  auto* version = new QLabel(VersionText(), this);
  version->setObjectName(QStringLiteral("versionText"));
  auto* notice = new QPlainTextEdit(tr(kComponentNotice), this);
  notice->setObjectName(QStringLiteral("noticeText"));
  notice->setReadOnly(true);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  auto* grid = new QGridLayout(this);
  grid->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
  grid->addWidget(name, 0, 1);
  grid->addWidget(version, 1, 1);
  grid->addWidget(notice, 2, 0, 1, 2);
  grid->addWidget(Link(QStringLiteral("Qt"), QStringLiteral("https://www.qt.io/"), this), 3, 0,
                  1, 2);
  grid->addWidget(Link(QStringLiteral("QScintilla"),
                       QStringLiteral("https://www.riverbankcomputing.com/software/qscintilla/"),
                       this),
                  4, 0, 1, 2);
  grid->addWidget(buttons, 5, 0, 1, 2);
  resize(420, 320);
}

}  // namespace zoqe
