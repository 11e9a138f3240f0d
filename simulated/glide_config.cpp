#include "simulated/glide_config.h"

#include <algorithm>
#include <cstring>

namespace sim {

namespace {

static_assert(sizeof(glide::GrHwConfiguration::SSTs[0].sstBoard) == kGlideConfigWords * sizeof(std::int32_t));

std::int32_t Clamp(std::int32_t value, std::int32_t low, std::int32_t high) {
  return std::min(std::max(value, low), high);
}

}  // namespace

void FillGlideBoard(const Glide& board, int index, glide::GrHwConfiguration& config) {
  auto& sst = config.SSTs[index];
  sst.type = board.boardType;
  if (index == 0 && board.config) {
    std::memcpy(&sst.sstBoard, board.config->data(), sizeof sst.sstBoard);
    return;
  }
  // The member of the union that a library of this board type fills.
  switch (board.boardType) {
    case glide::GR_SSTTYPE_VOODOO:
    case glide::GR_SSTTYPE_Voodoo2: {
      auto& voodoo = sst.sstBoard.VoodooConfig;
      voodoo.fbRam = board.fbRam;
      voodoo.fbiRev = 2;
      voodoo.nTexelfx = board.nTexelfx;
      voodoo.sliDetect = board.sliDetect ? 1 : 0;
      for (int tmu = 0; tmu < board.nTexelfx && tmu < glide::GLIDE_NUM_TMU; ++tmu) {
        voodoo.tmuConfig[tmu].tmuRev = 1;
        voodoo.tmuConfig[tmu].tmuRam = board.tmuRam;
      }
      break;
    }
    case glide::GR_SSTTYPE_AT3D:
      sst.sstBoard.AT3DConfig.rev = 1;
      break;
    default: {
      auto& sst96 = sst.sstBoard.SST96Config;
      sst96.fbRam = board.fbRam;
      sst96.nTexelfx = board.nTexelfx;
      sst96.tmuConfig.tmuRev = 1;
      sst96.tmuConfig.tmuRam = board.tmuRam;
      break;
    }
  }
}

void DecodeGlideBoard(const glide::GrHwConfiguration& config, Glide& board) {
  const auto& sst = config.SSTs[0];
  board.boardType = Clamp(sst.type, 0, 7);
  board.fbRam = 0;
  board.nTexelfx = 1;
  board.sliDetect = false;
  board.tmuRam = 0;
  // The fields of the union member this board type fills; whatever they
  // cannot say is kept word for word below.
  switch (sst.type) {
    case glide::GR_SSTTYPE_VOODOO:
    case glide::GR_SSTTYPE_Voodoo2: {
      const auto& voodoo = sst.sstBoard.VoodooConfig;
      board.fbRam = Clamp(voodoo.fbRam, 0, 64);
      board.nTexelfx = Clamp(voodoo.nTexelfx, 0, 3);
      board.sliDetect = voodoo.sliDetect != 0;
      board.tmuRam = Clamp(voodoo.tmuConfig[0].tmuRam, 0, 64);
      break;
    }
    case glide::GR_SSTTYPE_AT3D:
      break;
    default: {
      const auto& sst96 = sst.sstBoard.SST96Config;
      board.fbRam = Clamp(sst96.fbRam, 0, 64);
      board.nTexelfx = Clamp(sst96.nTexelfx, 0, 3);
      board.tmuRam = Clamp(sst96.tmuConfig.tmuRam, 0, 64);
      break;
    }
  }
  board.config.reset();

  glide::GrHwConfiguration refilled{};
  FillGlideBoard(board, 0, refilled);
  if (refilled.SSTs[0].type != sst.type ||
      std::memcmp(&refilled.SSTs[0].sstBoard, &sst.sstBoard, sizeof sst.sstBoard) != 0) {
    std::array<std::int32_t, kGlideConfigWords> words{};
    std::memcpy(words.data(), &sst.sstBoard, sizeof sst.sstBoard);
    board.config = words;
  }
}

}  // namespace sim
