// The application title that message boxes without a title of their own show.
#pragma once

#include <QString>

// Cuts the product name before its last space, again while it is longer than 40 characters.
// A name without a space has nothing to cut and is returned whole.
QString ApplicationTitle(const QString& productName);
