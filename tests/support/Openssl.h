// The openssl command of the Linux side, run from a test under Wine: the
// second, independent reader of what the product writes.
#pragma once

#include <string>

namespace testsupport {

// Runs openssl with the arguments, the input on its standard input; what it
// wrote on its standard output, or "<openssl failed>" when it did not start
// or ended with an error.
std::string Openssl(const std::wstring& arguments, const std::string& input);
// The SHA-1 thumbprint openssl reads in a certificate given as DER or PEM
// ("-inform" form), upper-case hexadecimal without colons; empty when it
// reads none.
std::string OpensslSha1(const std::string& certificate, const wchar_t* form);

}  // namespace testsupport
