// The recorder simulator: a SORAVE Veldracorder Q7 as the updater sees it.
//
//   vzsim::Recorder recorder(config);      // the recorder, transport-neutral
//   vzsim::VirtualPort port(recorder);     // behind the virtual pair "Q7 CONTROL"
//   ... run the host against the port ...
//   recorder.receivedImage();              // what the host sent
//
// RecorderConfig (vzsim_config.h) sets its identity, free-space answers,
// latency, phase durations and faults; Recorder (vzsim_recorder.h) runs the
// update state machine and answers through any HostLink; VirtualPort
// (vzsim_virtual_port.h) is the HostLink of the platform's virtual ports.
#ifndef VZSIM_H
#define VZSIM_H

#include "vzsim_config.h"
#include "vzsim_recorder.h"
#include "vzsim_virtual_port.h"

#endif
