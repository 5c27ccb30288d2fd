// The message Gasmimic's window builds from its first values, written out by hand.
#pragma once

#include <string>
#include <vector>

namespace simulator_test {

// The message of sample Sample stamped with the second and the minute given.
inline std::vector<std::string> FirstBuiltMessage(
    int sample, const std::string& second_stamp, const std::string& minute_stamp = "202403050708") {
  return {
      "1H|\\^&|||ABL SYSTEM 625^||||||||1|20010119155000",
      "2P|1||1||Demo^Patient|||M||||||21^years||185^cm|81^kg||||||||755",
      "3O|1||Sample #^" + std::to_string(sample) + "||||" + minute_stamp + "||||||||Blood^Arterial",
      "4R|1|^^^FIO2^D|21|%||||F||3000:321|" + second_stamp,
      "5R|2|^^^Ca++^M|1.24|mmol/L||||F",
      "6R|3|^^^Cl-^M|97|mmol/L||||F",
      "7R|4|^^^K+^M|3.9|mmol/L||||F",
      "0R|5|^^^Na+^M|143|mmol/L||||F",
      "1R|6|^^^pH^M|7.62|||||F",
      "2R|7|^^^pO2^M|41.2|mmHg||||F",
      "3L|1|N",
  };
}

}  // namespace simulator_test
