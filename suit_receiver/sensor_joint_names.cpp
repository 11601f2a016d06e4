#include "suit_receiver/sensor_joint_names.h"

const char* GetMotiWearSensorAddressToDefaultJointName(uint8_t address) {
  switch (address) {
    case 0x01:
      return "left-upper-leg";
    case 0x02:
      return "left-lower-leg";
    case 0x03:
      return "left-foot";
    case 0x21:
      return "left-shoulder";
    case 0x22:
      return "left-upper-arm";
    case 0x23:
      return "left-lower-arm";
    case 0x24:
      return "left-hand";
    case 0x40:
      return "head";
    case 0x61:
      return "right-shoulder";
    case 0x62:
      return "right-upper-arm";
    case 0x63:
      return "right-lower-arm";
    case 0x64:
      return "right-hand";
    case 0x81:
      return "right-upper-leg";
    case 0x82:
      return "right-lower-leg";
    case 0x83:
      return "right-foot";
    case 0xA0:
      return "hip";
    case 0xA1:
      return "stomach";
    case 0xA2:
      return "chest";
    case 0xA3:
      return "neck";
    default:
      return "unknown";
  }
}
