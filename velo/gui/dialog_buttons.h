// The OK and "Abbrechen" buttons at the foot of a dialog, wired to its
// accept() and reject().
#pragma once

class QDialog;
class QDialogButtonBox;

QDialogButtonBox* OkCancelButtons(QDialog* dialog);
