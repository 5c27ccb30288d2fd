// The field tags of the data model's records, and the bits of the fields that hold
// bits, in one place: these numbers are what the data files hold, so none of them
// may change. Each name starts with the record it belongs to (kSeries..., kAxis...,
// kDataSet..., kCareEvent..., kDefinition...), since several records give the same
// number to different fields and the same field to different numbers (a data set's
// parameter name and a definition's are both 212; a video data set's information is
// 233, the monitor file's video information record 232).
//
// The record types, which name the records themselves, stay with their classes.
#pragma once

#include <cstdint>

namespace record_tag {

// --- Series (TSerieObject, TSerie) -----------------------------------------
// The data set's own fields inside the series record are further down.

// The X and Y axes a series uses, by their Spare numbers.
inline constexpr int32_t kSeriesXAxisNumber = 12;
inline constexpr int32_t kSeriesYAxisNumber = 13;
inline constexpr int32_t kSeriesColor = 16;
inline constexpr int32_t kSeriesPointMarker = 19;
inline constexpr int32_t kSeriesStyle = 20;  // one byte of the kSeriesStyle... bits
inline constexpr int32_t kSeriesPercentMode = 31;
inline constexpr int32_t kSeriesPercentReference = 32;
inline constexpr int32_t kSeriesUseCustomColor = 68;
inline constexpr int32_t kSeriesMovingAverageWindow = 69;

// Bits of the series style byte (0x12 for a new series).
inline constexpr uint8_t kSeriesStyleMarkers = 0x01;
inline constexpr uint8_t kSeriesStyleLine = 0x02;
inline constexpr uint8_t kSeriesStyleMovingAverage = 0x04;
inline constexpr uint8_t kSeriesStyleMeanLine = 0x08;
inline constexpr uint8_t kSeriesStyleAutoMarkers = 0x10;
inline constexpr uint8_t kSeriesStyleSteps = 0x20;
inline constexpr uint8_t kSeriesStyleBars = 0x40;
inline constexpr uint8_t kSeriesStyleFilled = 0x80;
inline constexpr uint8_t kSeriesStyleDefault = kSeriesStyleLine | kSeriesStyleAutoMarkers;

// A help line of a series (THelpLine): Y = (X - X0) * slope + intercept between
// the two X ends.
inline constexpr int32_t kHelpLineSlope = 160;
inline constexpr int32_t kHelpLineIntercept = 161;
inline constexpr int32_t kHelpLineX0 = 162;
inline constexpr int32_t kHelpLineFromX = 163;
inline constexpr int32_t kHelpLineToX = 164;

// The record type of the series a quick-save record wraps.
inline constexpr int32_t kQuickSaveSeriesRecordType = 2020;

// --- Specialised series ----------------------------------------------------

inline constexpr int32_t kStdSEMSeriesShowSEM = 37;
inline constexpr int32_t kStdSEMSeriesShowSD = 38;
inline constexpr int32_t kMultibarSeriesBarColors = 2039;  // group: int32 count, count colours
inline constexpr int32_t kMultibarSeriesAdjoining = 2040;

// --- Data set (TQORDataSet and its kinds), inside its series' record -------

inline constexpr int32_t kDataSetName = 11;
inline constexpr int32_t kDataSetPointBlock = 14;
inline constexpr int32_t kDataSetXOffset = 17;
inline constexpr int32_t kDataSetYOffset = 18;
inline constexpr int32_t kDataSetSyncTime = 36;
inline constexpr int32_t kDataSetXUnit = 39;
inline constexpr int32_t kDataSetYUnit = 40;
inline constexpr int32_t kDataSetParameterID = 64;
inline constexpr int32_t kDataSetSyncOrdinal = 66;
inline constexpr int32_t kDataSetOptions1First = 71;  // 71-74: bits 0-3 of Options1
inline constexpr int32_t kDataSetOptions2First = 75;  // 75-78: bits 0-3 of Options2
inline constexpr int32_t kDataSetKeepOrdinals = 79;
inline constexpr int32_t kDataSetParameterName = 212;
inline constexpr int32_t kDataSetMeasurementPlace = 213;
inline constexpr int32_t kDataSetParamExtraName = 214;
inline constexpr int32_t kDataSetComment = 2037;
inline constexpr int32_t kHistogramDataSetValue = 67;
inline constexpr int32_t kVideoDataSetFile = 231;
inline constexpr int32_t kVideoDataSetInfo = 233;

// --- Axis (TAxis) ----------------------------------------------------------

inline constexpr int32_t kAxisLogarithmic = 100;
inline constexpr int32_t kAxisStoredScale = 101;
inline constexpr int32_t kAxisX0 = 102;
inline constexpr int32_t kAxisY0 = 103;
inline constexpr int32_t kAxisY1 = 104;
inline constexpr int32_t kAxisX1 = 105;
inline constexpr int32_t kAxisSpan = 106;
inline constexpr int32_t kAxisMinimum = 107;
inline constexpr int32_t kAxisTickStep = 108;
inline constexpr int32_t kAxisColor = 109;
inline constexpr int32_t kAxisLineColor = 110;
inline constexpr int32_t kAxisFontColor = 111;
inline constexpr int32_t kAxisMinimumKeepMaximum = 112;
inline constexpr int32_t kAxisMaximum = 113;
inline constexpr int32_t kAxisLineWidth = 114;
inline constexpr int32_t kAxisOptionFirst = 115;  // 115-119: one kAxisOption... bit each
inline constexpr int32_t kAxisTickLength = 120;
inline constexpr int32_t kAxisMinorTickLength = 121;
inline constexpr int32_t kAxisDateLabels = 122;
inline constexpr int32_t kAxisTimeFormat = 123;
inline constexpr int32_t kAxisKind = 124;
inline constexpr int32_t kAxisTickPosition = 126;
inline constexpr int32_t kAxisDurationUnit = 137;
inline constexpr int32_t kAxisShowTitle = 138;

// Bits of the axis options, one tag each from kAxisOptionFirst on.
inline constexpr uint8_t kAxisOptionStored02 = 0x02;
inline constexpr uint8_t kAxisOptionStored04 = 0x04;
inline constexpr uint8_t kAxisOptionStored08 = 0x08;
inline constexpr uint8_t kAxisOptionNoSpanBoxMark = 0x10;  // the span box text gets no ">"
inline constexpr uint8_t kAxisOptionNoSpanBox = 0x20;

// --- Care events -----------------------------------------------------------

inline constexpr int32_t kCareOptionName = 2001;
inline constexpr int32_t kCareOptionDescription = 2002;
inline constexpr int32_t kCareCategoryName = 2006;
inline constexpr int32_t kCareCategoryDescription = 2007;
inline constexpr int32_t kCareCategoryMomentary = 2009;
inline constexpr int32_t kCareEventName = 2012;
inline constexpr int32_t kCareEventCaption = 2013;

// --- Monitor-data file -----------------------------------------------------

// The file's head, which every file of the family shares.
inline constexpr int32_t kFileType = 2;
inline constexpr int32_t kFileInfo = 3;
inline constexpr int32_t kFileAttribute = 30;

// The monitor record and its fields; the patient fields also stand at the top
// level and in a video information record.
inline constexpr int32_t kMonitorRecord = 200;
inline constexpr int32_t kMonitorName = 201;
inline constexpr int32_t kMonitorDetail = 202;
inline constexpr int32_t kPatientId = 203;
inline constexpr int32_t kPatientName = 204;
inline constexpr int32_t kMonitorReservedBlock = 205;

// A parameter-series definition and its fields.
inline constexpr int32_t kParameterDefinition = 210;
inline constexpr int32_t kDefinitionIndex = 211;
inline constexpr int32_t kDefinitionParameterName = 212;
inline constexpr int32_t kDefinitionMeasurementPlace = 213;
inline constexpr int32_t kDefinitionParamExtraName = 214;
inline constexpr int32_t kDefinitionUnit = 215;
inline constexpr int32_t kDefinitionParameterID = 216;

// The point records of a definition's series, and the video records.
inline constexpr int32_t kRecordDelimiterPoint = 85;
inline constexpr int32_t kDataPoint = 220;
inline constexpr int32_t kAnalyzerPoint = 221;
inline constexpr int32_t kVideoFrame = 230;
inline constexpr int32_t kVideoInfoFileName = 231;
inline constexpr int32_t kVideoInfo = 232;

// A data-point record: int32 tag, int32 size 18, int16 index, Double time, Double value.
inline constexpr int32_t kDataPointBodySize = 18;
inline constexpr int32_t kDataPointRecordSize = 8 + kDataPointBodySize;
// A video-frame record's body: Double time, int32 frame number.
inline constexpr int32_t kVideoFrameBodySize = 12;

}  // namespace record_tag
