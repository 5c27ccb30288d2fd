// The message form as the window first shows it, for the tests.
#pragma once

#include "simulator/Unit1Message.h"

namespace simulator_test {

inline TMessageForm InitialForm() {
  TMessageForm form;
  form.patient_id = "1";
  form.fio2 = "21";
  form.ca = "1.24";
  form.cl = "97";
  form.k = "3.9";
  form.na = "143";
  form.ph = "7.62";
  form.po2 = "41.2";
  form.specimen_type = TSpecimenType::kBlood;
  form.specimen_source = TSpecimenSource::kArterial;
  return form;
}

}  // namespace simulator_test
