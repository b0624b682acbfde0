// SPDX-License-Identifier: GPL-3.0-or-later
#include "ShellWindows.h"

#include <QLabel>

#include "TAboutBox.h"
#include "THConfigForm.h"
#include "TWelcomeForm.h"

namespace krt {

QDialog* CreateAboutBox(QWidget* parent) { return new TAboutBox(parent); }

void SetAboutVersion(QDialog* aboutBox, const QString& text) {
    if (auto* box = qobject_cast<TAboutBox*>(aboutBox)) box->Version->setText(text);
}

QDialog* CreateWelcomeForm(QWidget* parent) { return new TWelcomeForm(parent); }

QDialog* CreateHConfigForm(ShellServices& shell, QWidget* parent) {
    return new THConfigForm(shell, parent);
}

void SetWelcomeLanguage(QDialog* welcome, uint32_t language) {
    if (auto* form = qobject_cast<TWelcomeForm*>(welcome)) form->SetLanguage(language);
}

void SetHConfigLanguage(QDialog* hconfig, uint32_t language) {
    if (auto* form = qobject_cast<THConfigForm*>(hconfig)) form->SetLanguage(language);
}

}  // namespace krt
