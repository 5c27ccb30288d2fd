// A banner of the collector's size: a painted caption and its hide timer.
object BenchNotice: TBenchNotice
  BorderStyle = bsSingle
  Caption = 'New Patient'
  ClientHeight = 67
  ClientWidth = 656
  FormStyle = fsStayOnTop
  Position = poDesktopCenter
  object LblStatus: TBenchCaption
    Left = 0
    Top = 0
    Width = 656
    Height = 67
    Align = alClient
    Color = clAqua
    Font.Color = clOlive
    Font.Height = -19
    Font.Name = 'MS Sans Serif'
  end
  object Timer1: TTimer
    Enabled = False
    Interval = 5000
  end
end
