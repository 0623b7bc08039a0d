// Opening a damaged package: when its revisions cannot all be read (a
// damaged entry, table or entry chain), the revisions before the damage
// can still be opened, read-only, with a revision limit.
#pragma once

#include <QString>

class QWidget;

namespace zoqe {

// Whether `code`, from opening a package, reports damage to its revisions
// (not to its header, where nothing can be read).
bool IsRevisionDamage(int code);

// Examines the package that failed to open with `code` and, when some
// leading revisions read, asks whether to open the last of them read-only,
// saying which revision that is. Returns the revision limit to open with;
// 0 when no revision reads or the user declined.
int OfferReadableRevisions(QWidget* parent, const QString& path, int code);

}  // namespace zoqe
