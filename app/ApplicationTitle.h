// The application title that message boxes and prompts without a title of their own show.
#pragma once

#include <QString>

// Cuts the product name before its last space, again while it is longer than 40 characters.
// A name without a space has nothing to cut and is returned whole.
QString ApplicationTitle(const QString& productName);

// The title in effect: the product name until the window's preparation sets it (step 128).
// Kept apart from Qt's application display name, which Qt would add to every other window's
// title ("Application Error — Feedwright").
QString CurrentApplicationTitle();
void SetApplicationTitle(const QString& title);
