#pragma once
// The one door to the program's CRM connection and its services, and how its last call
// failed in words a user can read.

#include <QString>
#include <memory>

namespace tessary {
class ContactService;
class DataService;
class FileService;
class clsHelpers;
class clsInfusionsoftAPI;
} // namespace tessary

namespace pellwick {

struct CrmServices {
    std::shared_ptr<tessary::clsInfusionsoftAPI> api;
    std::shared_ptr<tessary::DataService> data;
    std::shared_ptr<tessary::ContactService> contacts;
    std::shared_ptr<tessary::FileService> files;
    std::shared_ptr<tessary::clsHelpers> helpers;
};
// The program's connection and all its services; throws ObjectNotSetError without one.
CrmServices CrmServicesOrThrow();

// How the last CRM call failed, in the words the step list shows (the server's own where
// it gave some), and whether the CRM may have carried it out all the same.
struct CrmFailure {
    QString message;
    bool mayHaveBeenCarriedOut = false;
    bool unreachable = false; // no answer came at all
};
CrmFailure LastCrmFailure(const CrmServices& crm);

} // namespace pellwick
