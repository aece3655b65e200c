#!/usr/bin/env python3
"""Independent oracles and fixture makers for the reference object and the
sub-structure interpolation tests.

  reference_oracles.py vtk DIR
      writes, with VTK, a triangulated sphere as DIR/sphere.ply (binary PLY
      with normals), DIR/sphere.wrl (VRML 2.0 by the VRML exporter, off screen)
      and DIR/sphere.txt: "points N", N lines "x y z", "triangles M", M lines
      "a b c" of the polydata both were written from.
  reference_oracles.py euler < lines
      first line "a b g tx ty tz cx cy cz", then points "x y z"; prints each
      point turned by scipy's Rotation.from_euler('ZXY', [g, a, b]) about
      (cx, cy, cz) and moved by t.
  reference_oracles.py rbf < lines
      first line "J M", then J lines "cx cy cz vx vy vz" (centres and values),
      then M lines "px py pz"; prints M lines of scipy's
      RBFInterpolator(kernel='linear', degree=1) at the points, then J lines of
      its kernel weights (scipy's linear kernel is -r: these are negated so
      that they weigh +r).
"""
import sys

import numpy as np


def write_vtk(folder):
    import vtk
    sphere = vtk.vtkSphereSource()
    sphere.SetRadius(12.5)
    sphere.SetCenter(3.0, -4.0, 5.0)
    sphere.SetThetaResolution(12)
    sphere.SetPhiResolution(9)
    tri = vtk.vtkTriangleFilter()
    tri.SetInputConnection(sphere.GetOutputPort())
    tri.Update()
    poly = tri.GetOutput()

    ply = vtk.vtkPLYWriter()
    ply.SetFileName(folder + "/sphere.ply")
    ply.SetInputData(poly)
    ply.SetFileTypeToBinary()
    ply.Write()

    mapper = vtk.vtkPolyDataMapper()
    mapper.SetInputData(poly)
    actor = vtk.vtkActor()
    actor.SetMapper(mapper)
    renderer = vtk.vtkRenderer()
    renderer.AddActor(actor)
    window = vtk.vtkRenderWindow()
    window.SetOffScreenRendering(1)
    window.AddRenderer(renderer)
    exporter = vtk.vtkVRMLExporter()
    exporter.SetRenderWindow(window)
    exporter.SetFileName(folder + "/sphere.wrl")
    exporter.Write()

    with open(folder + "/sphere.txt", "w") as f:
        n = poly.GetNumberOfPoints()
        f.write("points %d\n" % n)
        for i in range(n):
            f.write("%.17g %.17g %.17g\n" % poly.GetPoint(i))
        cells = poly.GetPolys()
        cells.InitTraversal()
        ids = vtk.vtkIdList()
        tris = []
        while cells.GetNextCell(ids):
            tris.append([ids.GetId(k) for k in range(ids.GetNumberOfIds())])
        f.write("triangles %d\n" % len(tris))
        for t in tris:
            f.write("%d %d %d\n" % tuple(t))
        mass = vtk.vtkMassProperties()
        mass.SetInputData(poly)
        mass.Update()
        f.write("volume %.17g\n" % mass.GetVolume())


def euler():
    from scipy.spatial.transform import Rotation
    rows = [list(map(float, l.split())) for l in sys.stdin if l.strip()]
    a, b, g, tx, ty, tz, cx, cy, cz = rows[0]
    r = Rotation.from_euler('ZXY', [g, a, b])
    c = np.array([cx, cy, cz])
    t = np.array([tx, ty, tz])
    for p in rows[1:]:
        q = r.apply(np.array(p) - c) + c + t
        print("%.17g %.17g %.17g" % tuple(q))


def rbf():
    from scipy.interpolate import RBFInterpolator
    lines = [l for l in sys.stdin if l.strip()]
    j, m = map(int, lines[0].split())
    rows = np.array([list(map(float, l.split())) for l in lines[1:1 + j]])
    points = np.array([list(map(float, l.split())) for l in lines[1 + j:1 + j + m]])
    f = RBFInterpolator(rows[:, :3], rows[:, 3:], kernel='linear', degree=1)
    for v in f(points):
        print("%.17g %.17g %.17g" % tuple(v))
    for w in -f._coeffs[:j]:
        print("%.17g %.17g %.17g" % tuple(w))


if __name__ == "__main__":
    if sys.argv[1] == "vtk":
        write_vtk(sys.argv[2])
    elif sys.argv[1] == "euler":
        euler()
    elif sys.argv[1] == "rbf":
        rbf()
    else:
        sys.exit("unknown command")
