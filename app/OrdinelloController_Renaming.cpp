// Numbering and prefix removal (placeholder until the numbering work lands).

#include "app/OrdinelloController.h"

void OrdinelloController::renameItems()
{
}

void OrdinelloController::removeFilenamePrefixes()
{
}

int OrdinelloController::automaticNumberLength() const
{
    return 0;
}
