// SPDX-License-Identifier: GPL-3.0-or-later
// The small windows the main window opens: the about box, the welcome
// window and the hardware configuration dialog.
#pragma once

#include <QString>
#include <cstdint>

class QDialog;
class QWidget;

namespace krt {

class ShellServices;

QDialog* CreateAboutBox(QWidget* parent);
// Sets the about box's Version label.
void SetAboutVersion(QDialog* aboutBox, const QString& text);
QDialog* CreateWelcomeForm(QWidget* parent);
QDialog* CreateHConfigForm(ShellServices& shell, QWidget* parent);
// The configuration dialog's texts that follow the language.
void SetHConfigLanguage(QDialog* hconfig, uint32_t language);
void SetWelcomeLanguage(QDialog* welcome, uint32_t language);

}  // namespace krt
