#!/usr/bin/python3
"""VTK as an independent reader and writer of surface files.

  vtk_surfaces.py read FILE   reads a PLY (vtkPLYReader) or VRML 2.0 file
                              (vtkVRMLImporter) and prints
                                points N
                                cells M
                                volume V        (vtkMassProperties)
                                p X Y Z         (one line per point, in order)
  vtk_surfaces.py write DIR   writes a VTK sphere as vtk_ascii.ply,
                              vtk_le.ply and vtk_be.ply (vtkPLYWriter) and
                              lists in vtk.expect what a reader must find:
                                comment TEXT / obj_info TEXT
                                p X Y Z         (the points as floats)
                                f I J K ...     (each face's indices)
"""
import os
import sys

import vtk


def read(path):
    if path.endswith(".ply"):
        r = vtk.vtkPLYReader()
        r.SetFileName(path)
        r.Update()
        data = r.GetOutput()
    else:
        imp = vtk.vtkVRMLImporter()
        imp.SetFileName(path)
        imp.SetRenderWindow(vtk.vtkRenderWindow())
        imp.Read()
        append = vtk.vtkAppendPolyData()
        actors = imp.GetRenderer().GetActors()
        actors.InitTraversal()
        a = actors.GetNextActor()
        while a:
            append.AddInputData(a.GetMapper().GetInput())
            a = actors.GetNextActor()
        append.Update()
        data = append.GetOutput()
    tri = vtk.vtkTriangleFilter()
    tri.SetInputData(data)
    mass = vtk.vtkMassProperties()
    mass.SetInputConnection(tri.GetOutputPort())
    mass.Update()
    print("points %d" % data.GetNumberOfPoints())
    print("cells %d" % data.GetNumberOfCells())
    print("volume %r" % mass.GetVolume())
    for i in range(data.GetNumberOfPoints()):
        print("p %r %r %r" % data.GetPoint(i))


def write(folder):
    s = vtk.vtkSphereSource()
    s.SetThetaResolution(16)
    s.SetPhiResolution(12)
    s.SetRadius(5.3)
    s.SetCenter(0.25, -1.5, 2.0)
    s.Update()
    data = s.GetOutput()
    for name, kind in (("vtk_ascii.ply", "ascii"), ("vtk_le.ply", "le"), ("vtk_be.ply", "be")):
        w = vtk.vtkPLYWriter()
        w.SetFileName(os.path.join(folder, name))
        w.SetInputData(data)
        if kind == "ascii":
            w.SetFileTypeToASCII()
        else:
            w.SetFileTypeToBinary()
            if kind == "be":
                w.SetDataByteOrderToBigEndian()
            else:
                w.SetDataByteOrderToLittleEndian()
        w.Write()
    with open(os.path.join(folder, "vtk.expect"), "w") as out:
        with open(os.path.join(folder, "vtk_ascii.ply"), "rb") as f:
            for line in f:
                line = line.decode("latin-1").rstrip("\r\n")
                if line == "end_header":
                    break
                if line.startswith("comment ") or line.startswith("obj_info "):
                    out.write(line + "\n")
        points = data.GetPoints()
        for i in range(points.GetNumberOfPoints()):
            out.write("p %r %r %r\n" % points.GetPoint(i))
        polys = data.GetPolys()
        ids = vtk.vtkIdList()
        polys.InitTraversal()
        while polys.GetNextCell(ids):
            out.write("f " + " ".join(str(ids.GetId(k)) for k in range(ids.GetNumberOfIds())) + "\n")


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "read":
        read(sys.argv[2])
    elif len(sys.argv) == 3 and sys.argv[1] == "write":
        write(sys.argv[2])
    else:
        sys.exit(__doc__)
