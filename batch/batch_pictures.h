// The batch tool's pictures: the dendrogram (--plot) and the clustered heat
// map (--heatmap) as the options ask for them, drawn on a picture device
// (platform/picture_printer_device.h) and handed back as the file's bytes.
// A Qt GUI application object (an offscreen one) must exist.
#pragma once

#include <QByteArray>
#include <string>
#include <vector>

#include "batch/batch_options.h"
#include "datafiles/observation_table.h"
#include "engine/merge_list.h"

namespace cluster {

// What the pictures are made of: the tree with its heights in the units
// of the text outputs (--units) and in those of the picture (--plot-units).
struct PictureTrees {
  const MergeList& textUnits;
  const MergeList& plotUnits;
  const std::vector<std::string>& utf8Labels;
};

QByteArray DendrogramPicture(const BatchOptions& options, const PictureTrees& trees);

// The heat map of the table's rows (as clustered); `columnTree`, when
// given, orders the columns and is drawn above them.
QByteArray HeatmapPicture(const BatchOptions& options, const PictureTrees& trees, const ObservationTable& table,
                          const MergeList* columnTree);

// The columns of the table clustered as its rows were: by the same method,
// over the same metric of the columns' values (Euclidean for Gower's
// coefficient, which compares rows of mixed columns), in the options'
// leaf order.
MergeList ClusterColumns(const BatchOptions& options, const ObservationTable& table);

// A height given as an option's value, read by the program's number rules;
// UsageFailure for one that is no number.
Real HeightOption(const std::string& text, const char* option);

// Each object's group as the options' cut or colour threshold makes it,
// or nothing when neither is given.
std::vector<std::int32_t> PictureGroups(const BatchOptions& options, const PictureTrees& trees);

}  // namespace cluster
