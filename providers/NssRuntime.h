#pragma once

// The process's one NSS context over the user's certificate database: its
// software token and every PKCS#11 module registered in it. Opened on first
// use, shut down when the process exits.

#include <string>

namespace nerolin {

// The database the setting "CertificateDatabase" names, by default
// sql:<home>/.pki/nssdb (the one the user's browser shares), the home folder
// being $HOME, else the password database's entry.
std::string CertificateDatabase();

// Opens CertificateDatabase() once per process, creating the folder and an
// empty-password database when missing, and installs the PIN callback.
// Later calls, with or without a path, answer the first call's outcome: a
// process works with one database. A failure is reported (NSS's error) once.
bool InitializeNss();
bool InitializeNss(const std::string& database);

}  // namespace nerolin
