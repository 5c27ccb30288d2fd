// print_monitor_file FILE...: shows what a patient's monitor-data file holds (the
// patient, and every data point with its time, parameter, value and unit), e.g. to
// look at what Gasbridge filed:
//
//   build/collector/tools/print_monitor_file 'build/demo/root/DATA/12345678.$90/ABL.vor'
#include <iostream>
#include <string>
#include <vector>

#include "collector/tools/MonitorFileText.h"
#include "datamodel/DataModel.h"

int main(int argc, char** argv) {
  RegisterDataModel();
  return collector_tools::PrintMonitorFiles(std::vector<std::string>(argv + 1, argv + argc),
                                            std::cout, std::cerr);
}
