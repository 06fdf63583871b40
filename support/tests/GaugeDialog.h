// A dialog resource that places the gauge as the upload page does; read by GaugeDialog.rc and
// by the test.
#pragma once

#define GAUGE_TEST_DIALOG 100
#define GAUGE_TEST_CONTROL 101
