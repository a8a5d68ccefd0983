"""Writes walls.dxf, the example drawing: a small floor plan with every kind
of mess the clean-up passes tidy. Run with /usr/bin/python3 (needs ezdxf);
the committed walls.dxf is its output."""
import math
import ezdxf

doc = ezdxf.new("R2000")
doc.header["$INSUNITS"] = 6  # metres
for name, colour in (("walls", 7), ("doors", 3), ("survey", 1), ("notes", 5)):
    doc.layers.add(name, color=colour)
msp = doc.modelspace()
walls = {"layer": "walls"}

# Outer wall traced as a fragmented outline: pieces that meet end to end.
outline = [(0, 0), (6, 0), (12, 0), (12, 4), (12, 8), (6, 8), (0, 8), (0, 4)]
for a, b in zip(outline, outline[1:] + outline[:1]):
    msp.add_line(a, b, dxfattribs=walls)
# A wall drawn twice, and one drawn as two overlapping pieces.
msp.add_line((6, 0), (6, 5), dxfattribs=walls)
msp.add_line((6, 0), (6, 5), dxfattribs=walls)
msp.add_line((6, 5), (6, 7), dxfattribs=walls)
msp.add_line((6, 6.5), (6, 8), dxfattribs=walls)
# A room outline whose ends meet but is not closed, with a collinear corner.
msp.add_lwpolyline([(1, 1), (3, 1), (5, 1), (5, 3), (1, 3), (1, 1)], dxfattribs={"layer": "walls", "color": 2})
# A door swing: an arc cut in two overlapping pieces, and a polyline with an arc segment.
msp.add_arc((6, 5), 1, 0, 60, dxfattribs={"layer": "doors"})
msp.add_arc((6, 5), 1, 45, 90, dxfattribs={"layer": "doors"})
msp.add_lwpolyline([(8, 1, 0, 0, 0), (10, 1, 0, 0, math.tan(math.pi / 8)), (11, 2, 0, 0, 0)],
                   format="xyseb", dxfattribs={"layer": "doors"})
# Surveyed 3D polylines (heights on the terrain) and a 3D face.
msp.add_polyline3d([(0, -2, 0.1), (4, -2, 0.3), (8, -2, 0.2), (12, -2, 0.4)], dxfattribs={"layer": "survey"})
msp.add_polyline3d([(0, -3, 1), (0, -3, 1)], dxfattribs={"layer": "survey"})
msp.add_3dface([(13, 0, 0), (14, 0, 0), (14, 1, 0.5), (13, 1, 0.5)], dxfattribs={"layer": "survey"})
# Point markers left by the survey.
for p in ((0, 0), (12, 0), (12, 8), (0, 8), (6, 4)):
    msp.add_point(p, dxfattribs={"layer": "survey"})
# Stray tiny objects: a zero-length line, a speck of a circle.
msp.add_line((3, 5), (3, 5), dxfattribs=walls)
msp.add_circle((9, 6), 0.00001, dxfattribs=walls)
# A nearly straight traced curve: a digitised wall with tiny wobbles.
trace = [(i * 0.5, 10 + 0.002 * math.sin(i * 1.7)) for i in range(25)]
msp.add_lwpolyline(trace, dxfattribs={"layer": "walls", "color": 4})
# A label and a circle that no pass touches.
msp.add_text("KITCHEN", dxfattribs={"layer": "notes", "height": 0.4, "insert": (2, 2)})
msp.add_circle((9, 5), 0.5, dxfattribs={"layer": "doors"})
doc.saveas("walls.dxf")
