// The series classes that specialise TSerie and TSerieObject for particular kinds
// of points (paired values, histograms, mean +- SD/SEM, multi-value bars, analyzer
// samples, events and video frames).
#pragma once

// Registers the eight specialised series classes with the series class registry,
// in the registry's order after TSerie: TKorvetSerie, TYYSerie, THistogramSerie,
// TEventSerie, TVideoSerie, TStdSEMSerie, TMultibarSeries, TTarvoDataSeries.
// Called by the series unit's start (RegisterSeriesUnit) right after TSerie.
void RegisterSpecialisedSerieClasses();
