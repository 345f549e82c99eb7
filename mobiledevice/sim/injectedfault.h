#ifndef PLOVIK_SIM_INJECTEDFAULT_H
#define PLOVIK_SIM_INJECTEDFAULT_H

#include "simulator.h"

namespace plovik::sim {

// The result a test made this entry point fail with, 0 when it runs normally. Entry points pass
// __func__, which is their exported name.
inline int injectedFault(const char* entryPoint) {
    return Simulator::instance().controls().fault(entryPoint);
}

}  // namespace plovik::sim

#endif
