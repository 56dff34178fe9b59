#include "pellwick/KeyedCollection.h"

#include "pellwick/ErrorReport.h"

namespace pellwick {

void ThrowDuplicateKey(const QString& key) {
    throw ProgramError(457, QStringLiteral("This key is already associated with an element of this "
                                           "collection (key \"%1\")")
                                .arg(key));
}

void ThrowMissingKey(const QString& key) {
    throw ProgramError(errnum::InvalidProcedureCall,
                       QStringLiteral("Invalid procedure call or argument (no entry under key "
                                      "\"%1\")")
                           .arg(key));
}

} // namespace pellwick
