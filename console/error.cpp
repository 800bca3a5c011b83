#include "console/error.h"

#if defined(_MSC_VER)
#include <intrin.h>
#define RAISE_NOINLINE __declspec(noinline)
#define CALLER_ADDRESS() _ReturnAddress()
#else
#define RAISE_NOINLINE __attribute__((noinline))
#define CALLER_ADDRESS() __builtin_return_address(0)
#endif

RAISE_NOINLINE void RaiseError(const char *kind, const std::string &message) {
  throw Error{kind, message, CALLER_ADDRESS()};
}
