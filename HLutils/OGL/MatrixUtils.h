// Matrix helpers of the camera: 4x4 doubles in column-major order (row r,
// column c at index 4c + r), the layout glLoadMatrixd takes, and the
// builders of the projections.
#pragma once

extern const double gIdentity[16];

void setIdentityMatrix(double* m);
// The glOrtho matrix.
void buildOrthoMatrix(double* m, double left, double right, double bottom, double top, double near,
                      double far);
// The glFrustum matrix.
void buildFrustumMatrix(double* m, double left, double right, double bottom, double top,
                        double near, double far);

// dst = transpose of src; dst and src are distinct.
void transposeMatrix(double* dst, double* src);
void addMatrices(double* dst, double* a, double* b);
// dst = a x b; dst is neither a nor b.
void multMatrices(double* dst, const double* a, const double* b);
// m = m x translation(x, y, z), as glTranslated.
void applyTranslation(double* m, double x, double y, double z);
// m = m x rotation, as glRotated.
void applyRotation(double* m, double angle, double x, double y, double z);
// The glRotated matrix: angle in degrees about the axis (x, y, z); the
// identity for an axis shorter than 0.0001 (unless it lies along one axis).
void buildRotation(double* m, double angle, double x, double y, double z);
// The gluLookAt matrix.
void buildLookAtMatrix(double* m, double eye_x, double eye_y, double eye_z, double at_x,
                       double at_y, double at_z, double up_x, double up_y, double up_z);
// The gluPerspective matrix.
void buildPerspectiveMatrix(double* m, double fovy, double aspect, double near, double far);
// 1 with dst = inverse of src; 0 with dst untouched when src is singular.
// dst may be src.
int invertMatrix(double* dst, const double* src);
void copyMatrix(double* dst, double* src);
void vec3_assign(double* v, double x, double y, double z);
void printMatrix(char* label, double* m);
// Grows the box lo..hi by the part of the segment a-b whose y lies within
// y_low..y_high (points of three doubles).
void accum_segment(double y_low, double y_high, double* a, double* b, double* lo, double* hi);

// Small vector helpers shared by the camera code.
// v scaled to length 1; left as it is when its length is 0.
void vec3_normalize(double* v);
void vec3_cross(double* out, const double* a, const double* b);
// out = m x v for four-component v.
void mult_vec4(double* out, const double* m, const double* v);
