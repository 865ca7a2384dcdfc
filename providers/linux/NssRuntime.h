#pragma once

// The process's one NSS context over the user's certificate database: its
// software token and every PKCS#11 module registered in it. Opened on first
// use, shut down when the process exits.

#include <string>
#include <vector>

#include "providers/linux/NssModules.h"

namespace nerolin {

// The database the setting "CertificateDatabase" names, by default
// sql:<home>/.pki/nssdb (the one the user's browser shares), the home folder
// being $HOME, else the password database's entry.
std::string CertificateDatabase();

// Opens CertificateDatabase() once per process, creating the folder and an
// empty-password database when missing, installs the PIN callback, adds the
// modules registered with p11-kit (LoadP11KitProxy) and writes an error
// entry for each registered module that did not load.
// Later calls, with or without a path, answer the first call's outcome: a
// process works with one database. A failure is reported (NSS's error) once.
bool InitializeNss();
bool InitializeNss(const std::string& database);

// Whether database (as NSS takes it: "sql:DIR", "dbm:DIR" or DIR) names a
// folder that holds a database already.
bool DatabaseExists(const std::string& database);

// The modules of the open database that did not load; empty before
// InitializeNss.
std::vector<UnloadedModule> UnloadedModules();

}  // namespace nerolin
