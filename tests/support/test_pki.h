#pragma once
// The code-signing test PKI that tests/support/make_test_pki.sh makes at
// build time beside bin/ (testpki/): its root and the fake installer signed
// under each of its certificates. TrustedRoot (engine_servers.h) puts the
// root into the machine's trusted roots.
#include <string>

namespace zu::test {

// testpki\signed\<name> beside the build's bin folder.
std::wstring SignedInstaller(const std::wstring& name);
std::wstring TestRootCertificate();  // testpki\root.cer

// Wine's chain engine reads the root store once per process, so test
// programs that check signatures trust the test root from their start to
// their end: call this from a static initializer.
void TrustTestRootForWholeRun();

}  // namespace zu::test
