// Colour matrices of the YUV conversions and the rule that picks them.
#include "imaging/WuYuvMatrix.h"

const WUYUVMATRIX g_WuYUVMatrix601 = {
    {0.299, 0.587, 0.114, -0.17255159817351595, -0.3388639269406392, 0.5114155251141552,
     0.5114155251141552, -0.4282593607305937, -0.08315616438356163},
    1.370705357142857,
    -0.6981602678571429,
    -0.33641919642857143,
    1.7324464285714285};

const WUYUVMATRIX g_WuYUVMatrix709 = {
    {0.2126, 0.7152, 0.0722, -0.11721643835616437, -0.39419908675799087, 0.5114155251141552,
     0.5114155251141552, -0.4645698630136986, -0.04684566210045662},
    1.5396482142857142,
    -0.45765133928571433,
    -0.1831191964285714,
    1.8141803571428572};

const WUYUVMATRIXF g_WuYUVMatrixF601 = {
    {{28384, 0, -5510, -11437, 0, 22458, 0, 0}, {-3624960, 2177408, -2866432, 4194304}},
    {0.299f, 0.587f, 0.114f, -0.1687f, -0.3313f, 0.5f, 0.5f, -0.4187f, -0.0813f, 0.0f, 0.0f,
     0.0f, 1.402f, -0.3441f, -0.7141f, 1.772f}};

const WUYUVMATRIXF g_WuYUVMatrixF709 = {
    {{29725, 0, -2995, -7493, 0, 25229, 0, 0}, {-3796864, 1350656, -3221120, 4194304}},
    {0.2126f, 0.7152f, 0.0722f, -0.1146f, -0.3854f, 0.5f, 0.5f, -0.4542f, -0.0458f, 0.0f, 0.0f,
     0.0f, 1.5748f, -0.1873f, -0.4681f, 1.8556f}};

BOOL WuYUV_IsHDHeight(LONG height) { return height >= 720; }

BOOL WuYUV_IsInterlaced(WUINTERLACETYPE type) {
  return type == WUINTERLACE_FIELDS1 || type == WUINTERLACE_FIELDS2;
}

LONG WuYUV_MatrixCodeToPacked(LONG code) {
  if (code == WUYUV_MATRIX_BT601) return 1;
  if (code == WUYUV_MATRIX_BT709) return 2;
  return 0;
}

BOOL WuYUV_UsesBT709(LONG code, LONG height) {
  if (code == WUYUV_MATRIX_BT601) return FALSE;
  if (code == WUYUV_MATRIX_BT709) return TRUE;
  return WuYUV_IsHDHeight(height);
}

const WUYUVMATRIXF* WuYUV_GetMatrixF(LONG code, LONG height) {
  return WuYUV_UsesBT709(code, height) ? &g_WuYUVMatrixF709 : &g_WuYUVMatrixF601;
}

const WUYUVINTCOEFFS* WuYUV_GetIntCoeffs(LONG code, LONG height) {
  return &WuYUV_GetMatrixF(code, height)->ints;
}

const WUYUVMATRIX* WuYUV_GetMatrixTable(LONG code, LONG height) {
  if (code == 1) return &g_WuYUVMatrix601;
  if (code == 2) return &g_WuYUVMatrix709;
  return WuYUV_IsHDHeight(height) ? &g_WuYUVMatrix709 : &g_WuYUVMatrix601;
}
