/* Control transactions and the firmware-update sequence. */
#ifndef VZMSG_CTL_H
#define VZMSG_CTL_H

#include <stdint.h>

#include "vzmsg.h"
#include "vzmsg_devs_midi_win.h"

#ifdef __cplusplus
extern "C" {
#endif

#define VZMSG_DATA_FWUP_STATUS_NONE 0
#define VZMSG_DATA_FWUP_STATUS_UPDATE_MODE_CHANGED 1
#define VZMSG_DATA_FWUP_STATUS_DATA_TRANS_READY 2
#define VZMSG_DATA_FWUP_STATUS_DATA_TRANSFERRING 3
#define VZMSG_DATA_FWUP_STATUS_DATA_TRANS_COMPLETE 4
#define VZMSG_DATA_FWUP_STATUS_WRITE_READY 5
#define VZMSG_DATA_FWUP_STATUS_WRITE1_ERASE 6
#define VZMSG_DATA_FWUP_STATUS_WRITE2_BLANK 7
#define VZMSG_DATA_FWUP_STATUS_WRITE3_WRITE 8
#define VZMSG_DATA_FWUP_STATUS_WRITE4_COMPARE 9
#define VZMSG_DATA_FWUP_STATUS_COMPLETE 10
#define VZMSG_DATA_FWUP_STATUS_SERIAL_WRITE_START 11
#define VZMSG_DATA_FWUP_STATUS_SERIAL_WRITE_COMPLETE 12
#define VZMSG_DATA_FWUP_STATUS_ERROR 100
#define VZMSG_DATA_FWUP_STATUS_ERR_MASSSTORAGE 101
#define VZMSG_DATA_FWUP_STATUS_ERR_REC_PLAY 102
#define VZMSG_DATA_FWUP_STATUS_ERR_NO_BATTERY 103
#define VZMSG_DATA_FWUP_STATUS_ERR_VERSION 104
#define VZMSG_DATA_FWUP_STATUS_ERR_PRODUCT 105
#define VZMSG_DATA_FWUP_STATUS_ERR_SUMCHK 106
#define VZMSG_DATA_FWUP_STATUS_ERR_ERASE 107
#define VZMSG_DATA_FWUP_STATUS_ERR_BLANK 108
#define VZMSG_DATA_FWUP_STATUS_ERR_WRITE 109
#define VZMSG_DATA_FWUP_STATUS_ERR_VERIFY 110
#define VZMSG_DATA_FWUP_STATUS_ERR_COMMUNICATE 111

/* "VZMSG_DATA_FWUP_STATUS_NONE", a table name, or "UNKNOWN VZMSG_DATA_FWUP_STATUS". */
const char *vzmsg_ctl_status_name(uint32_t status);

int vzmsg_ctl_send(vzmsg_dev_t *dev, vzmsg_t *msg);
int vzmsg_ctl_recv(vzmsg_dev_t *dev, vzmsg_t *msg);

/* The counters below may be read by another thread while an operation
 * runs; they are stored with relaxed atomic writes. */
int vzmsg_ctl_fwup_get_status(vzmsg_dev_t *dev, uint32_t *status, uint32_t *progress, uint32_t *total);
int vzmsg_ctl_fwup_transfer(vzmsg_dev_t *dev, uint32_t *received, uint32_t *free_bytes, const uint8_t *image,
                            uint32_t block_length, uint16_t *sent);
int vzmsg_ctl_fwup_enter(vzmsg_dev_t *dev, uint32_t *status);
int vzmsg_ctl_fwup_send_data(vzmsg_dev_t *dev, const uint8_t *image, uint32_t size, uint32_t *progress,
                             uint32_t *total, uint32_t *status);
int vzmsg_ctl_fwup_data_check(vzmsg_dev_t *dev, uint32_t *status);
int vzmsg_ctl_fwup_write(vzmsg_dev_t *dev, uint32_t *progress, uint32_t *total, uint32_t *status);
int vzmsg_ctl_serial_write(vzmsg_dev_t *dev, const uint8_t *serial, uint8_t length);

#ifdef __cplusplus
}
#endif

#endif
