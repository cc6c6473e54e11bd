// Support for the fuzz targets.
#include "fuzz/fuzz_support.h"

#include "fuzz/fuzz_harness.h"

#include <cstdio>
#include <cstdlib>

#include "platform/message_presenter.h"

namespace {

class CQuietPresenter : public CMessagePresenter {
  public:
    void Present(int, const std::string&) override {}
};

}  // namespace

void InstallQuietPresenter() {
    static CQuietPresenter presenter;
    SetMessagePresenter(&presenter);
}

void PrepareFuzzHarnesses() {
    InstallQuietPresenter();
}

void FuzzFail(const char* pszWhat) {
    std::fprintf(stderr, "fuzz expectation failed: %s\n", pszWhat);
    std::abort();
}
